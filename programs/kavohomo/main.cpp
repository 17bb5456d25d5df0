#include "driver.hpp"

int main(int argc, char** argv) {
  return kavo::cli::run_program(argc, argv, kavo::Hypothesis::homogeneity);
}
