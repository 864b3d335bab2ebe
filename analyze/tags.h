// Scores by topic: the tag file that names the topics (tags) of the exam's
// questions, each sheet's score on every tag, and each tag's figures over
// all sheets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyze/csv_input.h"
#include "analyze/item_statistics.h"

namespace quillmark {

// The tags of a tag file, in the order of their first row, each with its
// questions (master numbers with a version map, else the forms' own
// numbers), ascending.
struct TagList {
    struct Tag {
        std::string name;
        std::vector<std::int32_t> questions;
        std::vector<std::int32_t> lines; // the row of each question
    };
    std::vector<Tag> tags;
};

// Reads a tag file's text: the heading names the columns Master and Tag
// (in any order and case; other columns are passed over); every row gives a
// question number from 1 to 1000 and a tag that is not empty. A question
// may carry several tags; one tag twice on one question is a fault.
// Yields false with `error` at the first fault.
bool parse_tag_file(const std::string& text, TagList& tags, FileError& error);

// Holds the tags against the questions the exam has (`known`, ascending: the
// master numbers the version map reaches, or the numbers of the forms'
// keys): a tagged question outside them is a fault.
bool check_tags(const TagList& tags, const std::vector<std::int32_t>& known, FileError& error);

// One tag's figures over every scored sheet. `questions` counts the tagged
// questions among the exam's scored ones (a dropped question counts
// nowhere); Mean and Std dev (dividing by the sheets) are of the sheets'
// scores on them, `mean_percent` is the mean over those questions times
// 100, absent without questions; `kr20` is absent with fewer than two
// questions or when every sheet has the same score on the tag.
struct TagSummary {
    std::string tag;
    std::int32_t questions = 0;
    std::int32_t sheets = 0;
    long double mean = 0;
    std::optional<long double> mean_percent;
    long double std_dev = 0;
    std::optional<long double> kr20;
};

// Every tag's figures and every scored sheet's score on each tag: the
// number of the tag's questions it answered right.
class TagScores {
public:
    TagScores() = default;
    TagScores(std::vector<TagSummary> summaries, std::vector<std::int32_t> orders,
              std::vector<std::uint16_t> scores);

    const std::vector<TagSummary>& summaries() const { return summaries_; }
    // The Orders of the scored sheets, ascending (report order).
    const std::vector<std::int32_t>& orders() const { return orders_; }
    // The score of the `sheet`-th scored sheet (index into orders()) on tag
    // `tag` (index into summaries()).
    std::int32_t score(std::size_t sheet, std::size_t tag) const {
        return scores_[sheet * summaries_.size() + tag];
    }
    // The same for the sheet row with Order `order`; -1 when that row is
    // not a scored sheet ("no key", or a form whose key scores nothing).
    std::int32_t score_of_order(std::int32_t order, std::size_t tag) const;

private:
    std::vector<TagSummary> summaries_;
    std::vector<std::int32_t> orders_;
    std::vector<std::uint16_t> scores_;
};

// The exam's questions that carry each tag, as indices into `masters` (the
// exam's scored questions, ascending): a tagged question the exam does not
// score is left out.
std::vector<std::vector<std::size_t>> tag_columns(const TagList& tags,
                                                  const std::vector<std::int32_t>& masters);

// Every tag's figures, from each scored sheet's score on each tag
// (`scores[p * tags + t]` for the sheet at place p in report order, whose
// Order is `orders[p]`), the tags' `columns` and the number of sheets right
// on each of the exam's questions (`right`).
TagScores tag_scores(const TagList& tags, const std::vector<std::vector<std::size_t>>& columns,
                     std::vector<std::uint16_t> scores, const std::vector<std::int64_t>& right,
                     std::vector<std::int32_t> orders);

} // namespace quillmark
