#include "analyze/sheet_checks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace quillmark {
namespace {

// The sheet rows of a report, one for each (Student ID, Exam #) in report
// order, all of form K; only the duplicate check looks at them.
ReportTables rows_of(const std::vector<std::pair<std::string, std::string>>& identities) {
    ReportTables tables;
    for (const auto& [id, exam] : identities) {
        SheetIdentity row{};
        std::memcpy(row.id, id.data(), id.size());
        std::memcpy(row.exam, exam.data(), exam.size());
        row.form = 'K';
        tables.identities.push_back(row);
    }
    return tables;
}

// The duplicate findings as "Order ID: detail".
std::vector<std::string> duplicates(const ReportTables& tables) {
    std::vector<std::string> found;
    for (const SheetCheck& check : sheet_checks(tables))
        if (check.kind == CheckKind::duplicate_student)
            found.push_back(std::to_string(check.order) + " " + check.student_id + ": " +
                            check.detail);
    return found;
}

TEST(SheetChecks, OneDuplicateRowPerRepeatedIdentityInOrderOfItsFirstRow) {
    using Rows = std::vector<std::pair<std::string, std::string>>;
    const std::string same = "same Student ID and Exam # on ";
    struct Case {
        Rows rows;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        // Y repeats before X does; X's first row comes first.
        {{{"X", "001"}, {"Y", "001"}, {"Y", "001"}, {"X", "001"}},
         {"1 X: " + same + "2 sheets: Orders 1, 4", "2 Y: " + same + "2 sheets: Orders 2, 3"}},
        {{{"X", "001"}, {"X", "002"}, {"x", "001"}}, {}},
        {Rows(10, {"", "001"}),
         {"1 : " + same + "10 sheets: Orders 1, 2, 3, 4, 5, 6, 7, 8, 9, 10"}},
        {Rows(12, {"", "001"}),
         {"1 : " + same + "12 sheets: Orders 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, ..."}},
    };
    for (const Case& c : cases) EXPECT_EQ(duplicates(rows_of(c.rows)), c.expected);
}

TEST(SheetChecks, AMillionBlankIdsGiveOneRow) {
    const std::vector<SheetCheck> checks = sheet_checks(
        rows_of(std::vector<std::pair<std::string, std::string>>(1000000, {"", "001"})));
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].detail.rfind("same Student ID and Exam # on 1000000 sheets: Orders 1, 2,",
                                     0),
              0u);
}

} // namespace
} // namespace quillmark
