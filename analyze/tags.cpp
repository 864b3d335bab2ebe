#include "analyze/tags.h"

#include <algorithm>
#include <map>
#include <utility>

#include "report/report_layout.h"

namespace quillmark {

bool parse_tag_file(const std::string& text, TagList& tags, FileError& error) {
    tags.tags.clear();
    std::map<std::string, std::size_t> index; // tag name to its place in `tags`
    auto each = [&](const CsvRow& row, const std::vector<int>& columns) {
        auto fault = [&](std::string message) {
            error = {row.line, std::move(message)};
            return false;
        };
        std::int32_t question = 0;
        if (!number_cell(row, columns[0], "question", MAX_QUESTIONS, question, error)) return false;
        const std::string& name = cell_at(row, columns[1]);
        if (name.empty()) return fault("the Tag cell is empty");
        const auto found = index.emplace(name, tags.tags.size());
        if (found.second) tags.tags.push_back({name, {}, {}});
        TagList::Tag& tag = tags.tags[found.first->second];
        const auto at = std::find(tag.questions.begin(), tag.questions.end(), question);
        if (at != tag.questions.end())
            return fault(
                "question " + std::to_string(question) + " has the tag " +
                quoted_for_message(name) + " twice (first on line " +
                std::to_string(tag.lines[static_cast<std::size_t>(at - tag.questions.begin())]) +
                ")");
        tag.questions.push_back(question);
        tag.lines.push_back(row.line);
        return true;
    };
    if (!read_headed_rows(text, {"Master", "Tag"}, 2, each, error)) return false;
    // Each tag's questions ascending, their lines with them.
    for (TagList::Tag& tag : tags.tags) {
        std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
        for (std::size_t i = 0; i < tag.questions.size(); ++i)
            pairs.emplace_back(tag.questions[i], tag.lines[i]);
        std::sort(pairs.begin(), pairs.end());
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            tag.questions[i] = pairs[i].first;
            tag.lines[i] = pairs[i].second;
        }
    }
    return true;
}

bool check_tags(const TagList& tags, const std::vector<std::int32_t>& known, FileError& error) {
    // The first line, in the file, that names a question the exam lacks.
    const TagList::Tag* at_tag = nullptr;
    std::size_t at = 0;
    for (const TagList::Tag& tag : tags.tags)
        for (std::size_t i = 0; i < tag.questions.size(); ++i)
            if (!std::binary_search(known.begin(), known.end(), tag.questions[i]) &&
                (!at_tag || tag.lines[i] < at_tag->lines[at])) {
                at_tag = &tag;
                at = i;
            }
    if (!at_tag) return true;
    error = {at_tag->lines[at], "question " + std::to_string(at_tag->questions[at]) +
                                    " is not a question of the exam"};
    return false;
}

TagScores::TagScores(std::vector<TagSummary> summaries, std::vector<std::int32_t> orders,
                     std::vector<std::uint16_t> scores)
    : summaries_(std::move(summaries)), orders_(std::move(orders)), scores_(std::move(scores)) {}

std::int32_t TagScores::score_of_order(std::int32_t order, std::size_t tag) const {
    const auto at = std::lower_bound(orders_.begin(), orders_.end(), order);
    if (at == orders_.end() || *at != order) return -1;
    return score(static_cast<std::size_t>(at - orders_.begin()), tag);
}

std::vector<std::vector<std::size_t>> tag_columns(const TagList& tags,
                                                  const std::vector<std::int32_t>& masters) {
    std::vector<std::vector<std::size_t>> columns(tags.tags.size());
    for (std::size_t t = 0; t < tags.tags.size(); ++t)
        for (std::int32_t question : tags.tags[t].questions) {
            const auto at = std::lower_bound(masters.begin(), masters.end(), question);
            if (at != masters.end() && *at == question)
                columns[t].push_back(static_cast<std::size_t>(at - masters.begin()));
        }
    return columns;
}

TagScores tag_scores(const TagList& tags, const std::vector<std::vector<std::size_t>>& columns,
                     std::vector<std::uint16_t> scores, const std::vector<std::int64_t>& right,
                     std::vector<std::int32_t> orders) {
    const std::size_t count = tags.tags.size();
    std::vector<TagSummary> summaries;
    for (std::size_t t = 0; t < count; ++t) {
        std::vector<std::int32_t> score_counts(columns[t].size() + 1, 0);
        for (std::size_t p = 0; p < orders.size(); ++p) ++score_counts[scores[p * count + t]];
        std::vector<std::int64_t> tag_right;
        for (std::size_t column : columns[t]) tag_right.push_back(right[column]);
        const TestStatistics figures = totals_statistics(std::move(score_counts), tag_right);
        TagSummary summary;
        summary.tag = tags.tags[t].name;
        summary.questions = figures.items;
        summary.sheets = figures.sheets;
        summary.mean = figures.mean;
        if (figures.items > 0) summary.mean_percent = figures.mean * 100 / figures.items;
        summary.std_dev = figures.std_dev;
        summary.kr20 = figures.kr20;
        summaries.push_back(std::move(summary));
    }
    return TagScores(std::move(summaries), std::move(orders), std::move(scores));
}

} // namespace quillmark
