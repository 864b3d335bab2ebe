#include "analyze/rasch_output.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

using nlohmann::json;

// Form A with questions 3 and 7: 3 calibrated, 7 wrong on every sheet.
FormAnalysis small_form() {
    FormAnalysis form;
    form.form = 'A';
    form.questions.resize(2);
    form.questions[0].question = 3;
    form.questions[1].question = 7;
    RaschAnalysis rasch;
    rasch.items.resize(2);
    rasch.items[0].measure = -0.0004L;
    rasch.items[0].se = 0.12345L;
    rasch.items[0].infit = 1.0005L;
    rasch.items[0].outfit = 0.9L;
    rasch.items[0].infit_z = -1.005L;
    rasch.items[0].outfit_z = 2.0L / 3;
    rasch.items[1].note = RaschNote::all_wrong;
    rasch.scores.resize(3);
    rasch.scores[0] = {4, true, -1.5L, 1.25L};
    rasch.scores[1] = {10, true, 1.5L, 1.25L};
    rasch.scores[2].sheets = 0;
    rasch.persons = 0;
    rasch.calibrated = 1;
    rasch.iterations = 3;
    form.rasch = rasch;
    return form;
}

TEST(RaschOutput, TablesWithThreeDecimalsZWithTwoAndEmptyCells) {
    const FormAnalysis form = small_form();
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    print_rasch_tables(file, form, *form.rasch);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    EXPECT_EQ(text,
              "Form,Question,Measure,SE,Infit,Outfit,\"Infit Z\",\"Outfit Z\"\n"
              "A,3,-0.000,0.123,1.000,0.900,-1.00,0.67\n"
              "A,7,,,,,,\n"
              "\n"
              "Form,\"Raw score\",Measure,SE,Sheets\n"
              "A,0,-1.500,1.250,4\n"
              "A,1,1.500,1.250,10\n"
              "A,2,,,0\n"
              "\n"
              "Form,Persons,Items,\"Person reliability\",\"Item reliability\"\n"
              "A,0,1,,\n"
              "\n");
}

TEST(RaschOutput, JsonAtFullPrecisionWithNullsAndNotes) {
    const FormAnalysis form = small_form();
    const json rasch = rasch_json(form, *form.rasch);
    EXPECT_EQ(rasch["items"], 1);
    EXPECT_EQ(rasch["persons"], 0);
    EXPECT_EQ(rasch["iterations"], 3);
    EXPECT_TRUE(rasch["message"].is_null());
    EXPECT_TRUE(rasch["person_reliability"].is_null());
    const json& first = rasch["questions"][0];
    EXPECT_EQ(first["question"], 3);
    EXPECT_EQ(first["outfit_z"].get<double>(), static_cast<double>(2.0L / 3));
    EXPECT_TRUE(first["note"].is_null());
    const json& second = rasch["questions"][1];
    EXPECT_EQ(second["question"], 7);
    EXPECT_TRUE(second["measure"].is_null());
    EXPECT_TRUE(second["infit_z"].is_null());
    EXPECT_EQ(second["note"], "every sheet wrong");
    EXPECT_EQ(rasch["scores"].size(), 3u);
    EXPECT_EQ(rasch["scores"][1]["raw_score"], 1);
    EXPECT_EQ(rasch["scores"][1]["sheets"], 10);
    EXPECT_EQ(rasch["scores"][1]["extreme"], true);
    EXPECT_TRUE(rasch["scores"][2]["measure"].is_null());
    EXPECT_EQ(rasch["scores"][2]["extreme"], false);
}

} // namespace
} // namespace quillmark
