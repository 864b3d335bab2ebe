// The version that quillmark and quillmark-analyze show: in the grader's
// banner and report header, and after --version in both programs.
#pragma once

namespace quillmark {

inline constexpr char VERSION[] = "1.3";

} // namespace quillmark
