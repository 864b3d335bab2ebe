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
// file holds only comments. With a version map, each possible key error of
// the whole exam follows, with a line for each form in its own question
// number and letter, and then each key that disagrees with the other
// versions, with the lines that make it accept what they accept ("altc:17A"
// and "altc:17+D" for a further letter, "altc:17X" to drop the question).
std::string fix_options(const Analysis& analysis);

} // namespace quillmark
