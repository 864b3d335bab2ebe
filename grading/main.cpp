#include "grading/run_grading.h"

int main(int argc, char** argv) { return quillmark::run_grading(argc, argv); }
