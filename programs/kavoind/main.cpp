#include "kavo/driver.hpp"
#include "kavoind/kavoind_spec.hpp"

int main(int argc, char** argv) { return kavo::run_program(argc, argv, kavoind_spec()); }
