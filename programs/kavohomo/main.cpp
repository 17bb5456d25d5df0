#include "kavo/driver.hpp"
#include "kavohomo/kavohomo_spec.hpp"

int main(int argc, char** argv) { return kavo::run_program(argc, argv, kavohomo_spec()); }
