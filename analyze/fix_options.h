// An option file for quillmark that makes the letter each possible key
// error points to the answer of its question, with the evidence in comments.
#pragma once

#include <string>

#include "analyze/analysis.h"

namespace quillmark {

// The option file's text: for every question flagged as a possible key
// error, a '#' comment with the point-biserials of the key's letters and of
// the suspected letter, then for forms A to D the line "alt<f>:<question><L>"
// (e.g. "alta:12C"), which makes L the only accepted answer. Forms E to J
// have no such option: their comment says to correct the key sheet instead.
// A suspected letter after P, which no key accepts, gets a comment that
// says so and no "alt" line.
// A first comment line says what the file is; with no flagged question the
// file holds only comments.
std::string fix_options(const Analysis& analysis);

} // namespace quillmark
