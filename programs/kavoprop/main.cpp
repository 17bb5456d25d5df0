#include "kavo/driver.hpp"
#include "kavoprop/kavoprop_spec.hpp"

int main(int argc, char** argv) { return kavo::run_program(argc, argv, kavoprop_spec()); }
