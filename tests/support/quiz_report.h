// Test support for the analyser's tests: a small report of one form keyed
// ABCD whose sheets give the class-list matching something to find.
#pragma once

#include <string>
#include <vector>

namespace quillmark {

// Sheet 1 (4 of 4) and sheet 4 (2 of 4) are one student's (D024001417, that
// is 4024001417); sheet 2 (3 of 4) bubbled 4024001252, 4024001522 with two
// digits swapped; sheet 3 is on form K, which has no key; sheet 5 (1 of 4)
// bubbled 55.
inline std::vector<std::string> quiz_report_lines() {
    return {
        "\"Input file:\",,,,quillmark,\"v. 1.3\",\"Dec  8 2026\",\"01:08:56\"",
        "quiz.txt,,,,\"graded on\",Tue,\"12/08/26\",\"01:19:40\"",
        "\"Scanned key:\",A,,,,,\":ABCD\"",
        "\"Student ID\",Tform,Exam#,Order,\"Raw Score\",\"% Score\",Responses,Scoring",
        "\"D024001417\",A,\"001\",  1, 4,100.000,\"A:ABCD\",\":cccc\"",
        "\"D024001252\",A,\"001\",  2, 3, 75.000,\"A:ABCA\",\":cccX\"",
        "\"U000000001\",K,\"001\",  3,\"no key\",,\":ABCD\"",
        "\"D024001417\",A,\"002\",  4, 2, 50.000,\"A:ABAA\",\":ccXX\"",
        "\"E5\",A,\"001\",  5, 1, 25.000,\"A:AAAA\",\":cXXX\"",
        ",,n,avg,dev,min,max",
    };
}

} // namespace quillmark
