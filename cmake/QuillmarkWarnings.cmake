# quillmark_warnings: the warnings every target of the project is built
# with, linked PRIVATE by each of them. Warnings are errors through
# CMAKE_COMPILE_WARNING_AS_ERROR (ON unless the cache says otherwise), so a
# packager can build with -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF. Third-party
# headers (GoogleTest, CLI11, nlohmann-json) come in as system headers, whose
# warnings the compiler does not show.
#
# Beyond -Wall -Wextra, the warnings that catch faults this code can have
# (each tried over the whole tree with GCC 12, the mingw-w64 cross compiler
# and clang 14, which builds the fuzz targets):
#   -Wconversion            a value narrowed without a cast (a long double
#                           made a double, a count cut to 32 bits);
#   -Wold-style-cast        a C cast, which can drop const or reinterpret;
#   -Wcast-qual             a cast that drops const or volatile;
#   -Wformat=2              format strings that are not literals; without
#                           -Wformat-y2k, since the report's date is the
#                           locale's own ("%x") on purpose;
#   -Wnon-virtual-dtor, -Woverloaded-virtual
#                           a class deleted through its base, a member
#                           function that hides the base's instead of
#                           overriding it;
#   -Wimplicit-fallthrough  a switch case that runs into the next unmarked;
#   -Wmissing-declarations  a function with external linkage and no
#                           declaration before it: one that belongs in an
#                           anonymous namespace, or whose header declaration
#                           has drifted from its definition;
#   -Wundef                 #if on a macro that is not defined (a misspelt
#                           feature test reads as 0);
#   GCC only: -Wduplicated-cond, -Wduplicated-branches, -Wlogical-op
#                           an else-if testing a condition already tested,
#                           two branches alike, && or || between constants
#                           or the same operand twice.
# Tried and left out:
#   -Wnull-dereference      its findings depend on the optimiser: the release
#                           build (-O3) and libstdc++'s stream headers give
#                           paths through null that cannot happen;
#   -Wsign-conversion       37 findings, every one an int index into a
#                           vector or array known not to be negative; casts
#                           at each would hide the code, not mend it (clang's
#                           -Wconversion includes it, hence -Wno- there);
#   -Wshadow                7 findings, none a fault: a parameter named as
#                           the member it sets, a loop index reused;
#   -Wuseless-cast          2 findings, and it flags casts that are needed on
#                           the other system (int64_t is long on Linux, long
#                           long on Windows);
#   -Wcast-align=strict     20 findings, all the unaligned SSE2 loads and
#                           stores (_mm_loadu/_mm_storeu), which need no
#                           alignment; plain -Wcast-align does nothing on x86;
#   -Wfloat-equal           15 findings, all exact comparisons meant as such
#                           (a zero spread, a step that did not move);
#   -Wpedantic              the exact 128-bit product in the random numbers.
if(NOT TARGET quillmark_warnings)
  add_library(quillmark_warnings INTERFACE)
  target_compile_options(quillmark_warnings INTERFACE
    -Wall -Wextra -Wconversion -Wold-style-cast -Wcast-qual -Wformat=2 -Wno-format-y2k
    -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough
    -Wmissing-declarations -Wundef
    $<$<CXX_COMPILER_ID:GNU>:-Wduplicated-cond -Wduplicated-branches -Wlogical-op>
    $<$<CXX_COMPILER_ID:Clang>:-Wno-sign-conversion>)
endif()
set(CMAKE_COMPILE_WARNING_AS_ERROR ON CACHE BOOL "Treat the compiler's warnings as errors")
