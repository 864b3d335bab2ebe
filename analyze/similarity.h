// The answer-similarity screen: pairs of sheets of one form whose answers
// agree more than students of their ability who work alone would agree,
// named with the evidence a person can check.
//
// Each ordered pair (copier, source) is tested against a null model in which
// the copier answers every question on their own: the chance of each option
// (no mark and other marks included) for a student of the copier's
// number-correct score, estimated from the whole form and smoothed over
// neighbouring scores. Two statistics are taken, each with its exact upper
// tail under that model: the agreement weighted by how improbable each
// matching answer is, and the longest run of identical answers. The pair's
// p-value is twice the smaller tail. Pairs are compared within a family (a
// form, or a room of a form), and the family's pairs are controlled
// together: Bonferroni at 1% family-wise, and on request a
// Benjamini-Hochberg 5% list marked exploratory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analyze/class_list.h"
#include "analyze/item_statistics.h"
#include "analyze/report_reader.h"

namespace quillmark {

// The copying rate of the alternative that the weighted agreement is most
// powerful against: a match with null chance p weighs
// log(1 + COPY_RATE / ((1 - COPY_RATE) p)).
constexpr double COPY_RATE = 0.3;

// From this many sheets of a form up, a copier's own sheet is left out of
// the null model it is tested against; below, it stays in (with few sheets,
// leaving it out makes the copier's own answers look improbable).
constexpr std::int32_t LEAVE_OUT_SHEETS = 200;

// The null model's score neighbourhood holds at least this many sheets
// (or every sheet of a smaller form).
constexpr std::int32_t POOL_SHEETS = 200;

// Family-wise error rate of the flagged pairs, per family, and the false
// discovery rate of the exploratory list.
constexpr double FAMILY_ALPHA = 0.01;
constexpr double EXPLORATORY_FDR = 0.05;

// The answers two rows of n answer bytes have in common (the option bits
// equal): their number in `matches`, the sum of `units[i]` over them in
// `sum`, and bit i % 64 of mask[i / 64] set for each (the (n + 63) / 64
// words of `mask` are written whole); sixteen at a time where the
// processor can.
void identical_answers(const unsigned char* x, const unsigned char* y, const unsigned char* units,
                       std::size_t n, std::int32_t& matches, std::int64_t& sum,
                       std::uint64_t* mask);

// Whether the bits 0 to n - 1 of `mask` (as identical_answers sets them)
// hold a run of at least `length` set bits.
bool has_run(const std::uint64_t* mask, std::size_t n, std::int32_t length,
             std::vector<std::uint64_t>& work);

// The weight of a match whose null chance is p.
double match_weight(double p);

// P(sum of w[i] over the successes >= observed) for independent successes of
// chance p[i], with every weight rounded UP to a multiple of `step`: never
// below the exact tail, and never above the exact tail at observed - n*step.
// Expects non-negative weights and a positive step.
double weighted_tail_upper(const double* p, const double* w, std::size_t n, double observed,
                           double step, std::vector<double>& work);

// The same with every weight rounded DOWN: never above the exact tail.
// The work stops once the tail is known to exceed `stop`; the value
// returned then lies between `stop` and the tail.
double weighted_tail_lower(const double* p, const double* w, std::size_t n, double observed,
                           double step, std::vector<double>& work, double stop = 2.0);

// P(the longest run of consecutive successes >= length) for independent
// successes of chance p[i], exactly (1 for a length of 0); or, once the
// tail is known to exceed `stop`, a value between `stop` and the tail.
double run_tail(const double* p, std::size_t n, std::int32_t length, std::vector<double>& work,
                double stop = 2.0);

// The null model of one form: for a copier sheet, the chance of each option
// on each question. Sheets are the matrix rows.
class ChoiceModel {
public:
    explicit ChoiceModel(const ResponseMatrix& matrix);

    std::int32_t items() const { return items_; }
    std::int32_t score(std::int32_t sheet) const {
        return scores_[static_cast<std::size_t>(sheet)];
    }
    bool leaves_out() const { return leave_out_; }
    // The chance that `copier` gives the answer code `code` (the answer
    // byte's option bits) to `item`; its own sheet left out of the estimate
    // when the form is large enough. Positive for any code some sheet gave.
    double chance(std::int32_t copier, std::int32_t item, unsigned char code) const;
    // The same for any copier of score `score` whose own answer to the item
    // is (`own` true) or is not `code`.
    double chance_at(std::int32_t score, std::int32_t item, unsigned char code, bool own) const;
    // The chance as chance_at gives it, and its match weight in `weight`;
    // from a table worked out once where the form is not too large.
    double chance_and_weight(std::int32_t score, std::int32_t item, unsigned char code, bool own,
                             double& weight) const;
    // The options some sheet gave, numbered over all items from 0: the
    // number of `code` on `item`, or -1 when no sheet gave it.
    std::int32_t slots() const { return codes_; }
    std::int32_t slot(std::int32_t item, unsigned char code) const;

private:
    std::int32_t items_ = 0;
    std::int32_t codes_ = 0; // slots over all items
    bool leave_out_ = false;
    std::vector<std::int32_t> scores_;
    std::vector<std::int32_t> slot_; // [item * 32 + code] -> slot, or -1
    std::vector<double> weight_;     // [score * codes_ + slot]: smoothed count
    std::vector<double> total_;      // [score]: smoothed number of sheets
    std::vector<double> own_;        // [score]: the weight of a copier's own sheet
    // [(score * items_ + item) * 2 + right]: the score's tilt of the chances
    // of the item's wrong (0) and right (1) answers.
    std::vector<double> tilt_;
    std::vector<bool> slot_right_; // [slot]: whether the option is a right answer
    // [(score * codes_ + slot) * 2 + own]: the chance and its match weight.
    std::vector<double> chances_, weights_;
    const ResponseMatrix* matrix_ = nullptr;
};

// The evidence of one ordered pair: `copier` and `source` are matrix rows;
// questions are counted from 0 among the scored ones (`run_first` and
// `run_last` are -1 without a run).
struct PairEvidence {
    std::int32_t copier = 0;
    std::int32_t source = 0;
    std::int32_t copier_score = 0;
    std::int32_t source_score = 0;
    std::int32_t matches = 0;
    double expected_matches = 0;
    std::int32_t identical_wrong = 0; // identical answers the key does not accept, blanks included
    double expected_identical_wrong = 0;
    std::int32_t run = 0;
    std::int32_t run_first = -1;
    std::int32_t run_last = -1;
    double weighted = 0;   // the weighted agreement
    double p_weighted = 1; // its upper tail
    double p_run = 1;      // the longest run's upper tail
    double p = 1;          // 2 * min(p_weighted, p_run), at most 1
};

// The evidence of one ordered pair, both tails computed in full.
PairEvidence pair_evidence(const ChoiceModel& model, const ResponseMatrix& matrix,
                           std::int32_t copier, std::int32_t source, std::vector<double>& work);

struct ScreenSettings {
    double alpha = FAMILY_ALPHA;
    bool exploratory = false; // also the Benjamini-Hochberg list
    double fdr = EXPLORATORY_FDR;
    bool prune = true; // false: every pair's tails computed in full
    // Families of at least this many sheets are first pruned by bounds per
    // source and copier score, which pay for themselves only when many
    // copiers meet each source; smaller ones pair by pair.
    std::size_t bound_family = 400;
    std::int32_t threads = 0; // 0: one per processor
    // Copier scores bounded together; 0: one each up to 5,000 sheets, else
    // about twenty bands.
    std::int32_t band_width = 0;
};

// One listed pair of a family: its evidence and its adjusted p-value
// (Bonferroni for the family-wise list, Benjamini-Hochberg for the
// exploratory one).
struct ScreenedPair {
    std::int32_t family = 0;
    PairEvidence evidence;
    double adjusted = 1;
    bool exploratory = false;
};

struct ScreenResult {
    std::vector<ScreenedPair> pairs; // by family, list, copier, source
    std::int64_t ordered_pairs = 0;  // compared
    std::int64_t evaluated = 0;      // whose tails were computed (not pruned)
};

// Screens every ordered pair of sheets of one form within each family
// (`family[sheet]`, numbered from 0; a negative number leaves the sheet
// out). Lists the pairs whose Bonferroni-adjusted p-value over the family's
// n(n-1) ordered pairs is at most `alpha`, and with `exploratory` the pairs
// that the Benjamini-Hochberg procedure at `fdr` rejects and that are not on
// the first list, as long as that list is shorter than the family's number
// of sheets (the pruning keeps every pair such a list can hold). Pruning
// drops only pairs whose p-value provably exceeds every threshold, so the
// lists are the same as without it.
ScreenResult screen_form(const ResponseMatrix& matrix, const std::vector<std::int32_t>& family,
                         const ScreenSettings& settings);

// How sheets are grouped into families: each form whole, by the Exam #
// cell, or by a column of the class list.
enum class RoomMode { form, exam, class_list };

// What a run asks of the screen: the families, the class list's column that
// names the room (with RoomMode::class_list) and the settings.
struct SimilarityRequest {
    RoomMode rooms = RoomMode::form;
    std::size_t room_column = 0;
    ScreenSettings settings;
};

// One flagged pair as the writers show it: the form, the room (empty when
// the form is one family), both students' IDs as bubbled and Orders,
// question numbers of the run on the key, the evidence, and the number of
// partners each student is listed with in the same list.
struct SimilarPair {
    char form = 0;
    std::string room;
    std::string student_id;
    std::string other_id;
    std::int32_t order = 0;
    std::int32_t other_order = 0;
    PairEvidence evidence;
    std::int32_t run_first_question = 0; // 0 without a run
    std::int32_t run_last_question = 0;
    double adjusted = 1;
    bool exploratory = false;
    std::int32_t student_flags = 0;
    std::int32_t other_flags = 0;
    // Both sheets' answers to the scored questions, as the form's answer
    // table holds them (option code, RIGHT_BIT when right), for the page.
    std::vector<unsigned char> answers;
    std::vector<unsigned char> other_answers;
    std::vector<std::int32_t> questions; // the scored questions' numbers on the key
};

// The screen of a report: how rooms were taken (`room_heading`: the class
// list's heading of the room column), the flagged pairs, the ordered pairs
// compared and those whose tails were worked out.
struct SimilarityScreen {
    RoomMode rooms = RoomMode::form;
    std::string room_heading;
    bool exploratory = false;
    std::vector<SimilarPair> pairs; // by form, room, list, Order, other Order
    std::int64_t ordered_pairs = 0;
    std::int64_t evaluated = 0;
};

// Screens every form of the report. Needs the forms' answer tables, so it
// runs before they are released. With RoomMode::class_list a sheet's room is
// its student's cell in the room column (`list` and `match` are then
// required); the sheets of no student, and those with an empty room cell or
// Exam #, are one family of their own, whose Room is empty.
SimilarityScreen screen_similarity(const ReportTables& tables, const SimilarityRequest& request,
                                   const ClassList* list = nullptr,
                                   const ClassListMatch* match = nullptr);

} // namespace quillmark
