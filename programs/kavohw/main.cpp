#include "kavo/driver.hpp"
#include "kavohw/kavohw_spec.hpp"

int main(int argc, char** argv) { return kavo::run_program(argc, argv, kavohw_spec()); }
