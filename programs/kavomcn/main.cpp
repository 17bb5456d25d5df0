#include "kavo/driver.hpp"
#include "kavomcn/kavomcn_spec.hpp"

int main(int argc, char** argv) { return kavo::run_program(argc, argv, kavomcn_spec()); }
