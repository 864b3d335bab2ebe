// Scanned sheet lines: how one line of the reader's file is cut into a
// sheet, how a key sheet is told from a student sheet, and what is done
// with a key sheet.
#pragma once

#include <cstddef>
#include <cstdint>

#include "keys/answer_keys.h"

namespace quillmark {

// One parsed sheet line. Its texts are copies of the line's fields.
struct ScannedSheet {
    char student_id[MAX_ID + 1];       // trailing blanks removed, first character remapped
    char form_letter;                  // as scanned; '?' when the line ends before it
    char exam_no[MAX_EXAM + 1];        // trailing blanks removed
    char responses[MAX_QUESTIONS + 1]; // upper-cased, '-' for no mark, no trailing '-'
};

// Cuts a line (without its line end, ended by a zero byte) into a sheet.
// Never fails: every line gives a sheet, however malformed.
ScannedSheet parse_sheet_line(const char* line);

// The same for a line whose length is known: `length` characters, then a
// zero byte (an earlier zero byte still ends the text). `readable` (at
// least length + 1) says how many characters from `line` on may be read,
// whatever they hold: the cutting reads ahead in blocks where it can.
ScannedSheet parse_sheet_text(const char* line, std::size_t length, std::size_t readable);

// True while no student sheet has been graded (sheets_graded is 0) when
// the identifier is ten zeros or the exam number is "000".
bool is_key_sheet(const ScannedSheet& sheet, std::int32_t sheets_graded);

// Stores a key sheet as the key of its form and writes its "Scanned key:"
// echo row. A form letter outside A to J has no entry: the sheet is only
// reported on standard error.
void store_key_sheet(const ScannedSheet& sheet);

} // namespace quillmark
