// make_sheets: writes a realistic sheet file in the mark reader's format to
// standard output, for benchmarks and trials of the grader.
//
//   make_sheets <students> <questions> <forms> <seed>
//
// One key sheet per form comes first (random answers A to E), then the
// students. A student's ability and a question's difficulty are normal
// deviates; the chance of a right answer rises with ability minus
// difficulty, with a floor for guessing. Wrong answers are random letters,
// some questions are left blank and a few carry a multiple mark ('*').
// Responses stand in groups of ten with one blank between groups. The same
// seed gives the same file.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stats/random.h"

namespace {

constexpr int MAX_QUESTIONS = 1000;
constexpr int MAX_FORMS = 10;
constexpr int CHOICES = 5; // answers A to E

int uniform_below(int n) {
    int value = static_cast<int>(quillmark::rng_uniform() * n);
    return value < n ? value : n - 1;
}

bool parse_count(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high;
}

// Writes the identifier, form and exam number, then the responses in groups
// of ten with one blank between groups.
void write_sheet(std::FILE* out, const char* id, char form, const char* exam, const char* answers,
                 int questions) {
    char line[64 + MAX_QUESTIONS + MAX_QUESTIONS / 10];
    int length = std::snprintf(line, sizeof line, "%s,%c,%s,", id, form, exam);
    for (int q = 0; q < questions; ++q) {
        if (q > 0 && q % 10 == 0) line[length++] = ' ';
        line[length++] = answers[q];
    }
    line[length++] = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(length), out);
}

} // namespace

int main(int argc, char** argv) {
    long students = 0, questions = 0, forms = 0;
    char* seed_end = nullptr;
    unsigned long long seed = argc == 5 ? std::strtoull(argv[4], &seed_end, 10) : 0;
    if (argc != 5 || !parse_count(argv[1], 0, 100000000L, students) ||
        !parse_count(argv[2], 1, MAX_QUESTIONS, questions) ||
        !parse_count(argv[3], 1, MAX_FORMS, forms) || seed_end == argv[4] || *seed_end != '\0') {
        std::fputs("Usage: make_sheets <students> <questions 1-1000> <forms 1-10> <seed>\n",
                   stderr);
        return 2;
    }
    static char output_buffer[1 << 16];
    std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
    quillmark::rng_seed(seed);

    static char keys[MAX_FORMS][MAX_QUESTIONS];
    static double difficulty[MAX_QUESTIONS];
    for (int f = 0; f < forms; ++f)
        for (int q = 0; q < questions; ++q)
            keys[f][q] = static_cast<char>('A' + uniform_below(CHOICES));
    for (int q = 0; q < questions; ++q)
        difficulty[q] = static_cast<double>(quillmark::gaussian_deviate());

    const int q_count = static_cast<int>(questions);
    for (int f = 0; f < forms; ++f)
        write_sheet(stdout, "0000000000", static_cast<char>('A' + f), "001", keys[f], q_count);

    char answers[MAX_QUESTIONS];
    char id[11];
    for (long s = 0; s < students; ++s) {
        int f = uniform_below(static_cast<int>(forms));
        double ability = static_cast<double>(quillmark::gaussian_deviate());
        for (int q = 0; q < q_count; ++q) {
            double p_right = 0.2 + 0.8 / (1.0 + std::exp(-1.7 * (ability - difficulty[q])));
            double u = static_cast<double>(quillmark::rng_uniform());
            char key = keys[f][q];
            if (u < p_right) {
                answers[q] = key;
            } else if (u < p_right + 0.04) {
                answers[q] = ' ';
            } else if (u < p_right + 0.05) {
                answers[q] = '*';
            } else {
                char wrong = static_cast<char>('A' + uniform_below(CHOICES - 1));
                answers[q] = wrong >= key ? static_cast<char>(wrong + 1) : wrong;
            }
        }
        id[0] = static_cast<char>('1' + uniform_below(9));
        for (int i = 1; i < 10; ++i) id[i] = static_cast<char>('0' + uniform_below(10));
        id[10] = '\0';
        write_sheet(stdout, id, static_cast<char>('A' + f), "001", answers, q_count);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
