// Searches by value against a brute-force model of the table: has_row, locate and bookmarks on
// random tables with ties, case variants, partial keys, deletions, moved rows and filters.
#include <algorithm>
#include <map>
#include <optional>
#include <random>

#include "table_test_support.h"
#include "tables/src/filter.h"

namespace pavo::tables::test {
namespace {

// The fields of the searched table, after ID: their pools of values hold case variants, common
// prefixes, apostrophes and letters beyond ASCII (which case-insensitive searches leave as they
// are), so ties and near misses are frequent.
struct Column {
    const char* name;
    bool text;
    std::vector<std::string> pool;
};
const Column kColumns[] = {
    {"NAME",
     true,
     {"ab", "AB", "Ab", "abc", "ABD", "b", "B'x", "",
      "\xC3\xA9"
      "a",
      "\xC3\x89"
      "A"}},
    {"CODE", true, {"x", "X", "xy", "XY", "y", ""}},
    {"CITY", true, {"Rome", "rome", "Oslo", ""}},
    {"AMT", false, {"", "1", "2", "2.5", "3"}},
};
constexpr int kColumnCount = 4;

// Search values: the pools plus prefixes that only partial keys match.
const std::vector<std::string> kExtraValues[] = {
    {"a", "A", "\xC3\xA9", "\xC3\x89", "B'"}, {"Y"}, {"R", "ro", "Os"}, {"0"}};

// The searches tried, each a field list in the order the caller writes it.
const char* const kSearches[] = {"NAME", "CODE",     "CODE;CITY", "CITY;CODE", "CITY",
                                 "AMT",  "NAME;AMT", "ID",        "AMT;NAME"};

// The orders tried: primary, case-insensitive, two fields, descending, no index.
const char* const kOrders[] = {"", "NAME_", "CODE_CITY", "AMT_DESC"};

struct Filter {
    const char* text;
    bool (*passes)(const std::vector<std::string>&);
};
const Filter kFilters[] = {
    {"", [](const std::vector<std::string>&) { return true; }},
    {"AMT >= 2",
     [](const std::vector<std::string>& r) { return !r[3].empty() && std::stod(r[3]) >= 2; }},
    {"CITY = 'Rome' OR CODE = 'x'",
     [](const std::vector<std::string>& r) { return r[2] == "Rome" || r[1] == "x"; }},
};

std::string fold(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// The first n characters (UTF-8) of s.
std::string first_chars(const std::string& s, std::size_t n) {
    std::size_t i = 0, chars = 0;
    while (i < s.size()) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == n) break;
            ++chars;
        }
        ++i;
    }
    return s.substr(0, i);
}

std::size_t char_count(const std::string& s) {
    std::size_t n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// Whether a stored value matches a searched one as locate compares them ("" is an empty field).
bool matches(const std::string& stored, const std::string& wanted, bool text, LocateOptions o) {
    if (wanted.empty()) return stored.empty();
    if (stored.empty()) return false;
    if (!text) return std::stod(stored) == std::stod(wanted);
    std::string s = o.partial_key ? first_chars(stored, char_count(wanted)) : stored;
    return o.case_insensitive ? fold(s) == fold(wanted) : s == wanted;
}

class SearchTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        create("search",
               {{"ID", FieldType::kAutoInc},
                {"NAME", FieldType::kString, 20},
                {"CODE", FieldType::kString, 5},
                {"CITY", FieldType::kString, 10},
                {"AMT", FieldType::kFloat}},
               {{"", "ID", true, true},
                {"NAME_", "NAME", false, false, false, true},
                {"CODE_CITY", "CODE;CITY", false, false, false, false},
                {"AMT_DESC", "AMT", false, false, true, false}});
        t = table("search");
        t->open();
    }

    std::vector<std::string> random_row(std::mt19937& rng) {
        std::vector<std::string> r;
        for (const auto& c : kColumns) r.push_back(c.pool[rng() % c.pool.size()]);
        return r;
    }

    void set_row(const std::vector<std::string>& r) {
        for (int i = 0; i < kColumnCount; ++i) t->field(kColumns[i].name).set_as_string(r[i]);
    }

    // The model's rows: ID to field texts as stored.
    std::map<std::int64_t, std::vector<std::string>> rows;

    // Field text of row id for the i-th field of a search list ("ID" or a column).
    std::pair<std::string, bool> stored(std::int64_t id, const std::string& field) {
        if (field == "ID") return {std::to_string(id), false};
        for (int i = 0; i < kColumnCount; ++i)
            if (field == kColumns[i].name) return {rows[id][i], kColumns[i].text};
        ADD_FAILURE() << field;
        return {};
    }

    bool row_matches(std::int64_t id, const std::vector<std::string>& fields,
                     const std::vector<std::string>& values, LocateOptions o) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            auto [s, text] = stored(id, fields[i]);
            if (!matches(s, values[i], text, o)) return false;
        }
        return true;
    }

    std::unique_ptr<Table> t;
};

std::vector<std::string> split(const std::string& list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = list.find(';', start)) != std::string::npos; start = end + 1)
        out.push_back(list.substr(start, end - start));
    out.push_back(list.substr(start));
    return out;
}

TEST_F(SearchTest, HasRowLocateAndBookmarksAgreeWithABruteForceModel) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        t->set_filtered(false);
        t->set_filter("");
        t->set_index_name("");
        t->empty_table();
        rows.clear();
        std::int64_t last_id = 0;
        {
            CommandScope scope;
            for (int i = 0; i < 60; ++i) {
                auto r = random_row(rng);
                t->append();
                set_row(r);
                t->post();
                last_id = t->field("ID").as_integer();
                rows[last_id] = r;
            }
        }
        const Filter* filter = &kFilters[0];
        std::vector<std::pair<Bookmark, std::int64_t>> marks;
        for (int step = 0; step < 400; ++step) {
            int op = static_cast<int>(rng() % 20);
            if (op == 0) {
                t->set_index_name(kOrders[rng() % std::size(kOrders)]);
            } else if (op == 1) {
                filter = &kFilters[rng() % std::size(kFilters)];
                t->set_filter(filter->text);
                t->set_filtered(filter->text[0] != 0);
            } else if (op == 2 && t->record_count() > 0) {
                t->set_record_number(1 + static_cast<int>(rng() % t->record_count()));
                rows.erase(t->field("ID").as_integer());
                t->delete_record();
            } else if (op == 3) {
                // Numbered after every row the table ever had; current only when it passes.
                auto r = random_row(rng);
                t->append();
                set_row(r);
                t->post();
                rows[++last_id] = r;
                if (filter->passes(r)) {
                    EXPECT_EQ(t->field("ID").as_integer(), last_id);
                }
            } else if (op == 4 && t->record_count() > 0) {
                // An edit that may move the row in the order or out of the view.
                t->set_record_number(1 + static_cast<int>(rng() % t->record_count()));
                std::int64_t id = t->field("ID").as_integer();
                auto r = random_row(rng);
                t->edit();
                set_row(r);
                t->post();
                rows[id] = r;
            } else if (op == 5 && t->record_count() > 0) {
                t->set_record_number(1 + static_cast<int>(rng() % t->record_count()));
                marks.emplace_back(t->bookmark(), t->field("ID").as_integer());
            } else {
                // A search, checked against the model and the view as walked.
                std::string list = kSearches[rng() % std::size(kSearches)];
                auto fields = split(list);
                std::vector<std::string> values;
                for (const auto& f : fields) {
                    if (f == "ID") {
                        values.push_back(std::to_string(1 + rng() % (rows.size() + 5)));
                        continue;
                    }
                    int c = 0;
                    while (kColumns[c].name != f) ++c;
                    const auto& extra = kExtraValues[c];
                    std::size_t k = rng() % (kColumns[c].pool.size() + extra.size());
                    values.push_back(k < kColumns[c].pool.size()
                                         ? kColumns[c].pool[k]
                                         : extra[k - kColumns[c].pool.size()]);
                }
                LocateOptions o{rng() % 2 == 0, rng() % 2 == 0};
                std::string what = list + " " + values[0] + (o.case_insensitive ? " nocase" : "") +
                                   (o.partial_key ? " partial" : "") + " filter " + filter->text;

                bool expected_has = false;
                for (const auto& [id, r] : rows)
                    if (filter->passes(r) && row_matches(id, fields, values, o))
                        expected_has = true;
                EXPECT_EQ(t->has_row(list, values, o), expected_has) << what;

                std::vector<std::string> view = column(*t, "ID");
                t->set_record_number(1 + static_cast<int>(rng() % std::max(1, t->record_count())));
                std::string before = t->record_count() ? t->field("ID").as_string() : "";
                std::optional<std::string> first;
                for (const auto& id : view)
                    if (row_matches(std::stoll(id), fields, values, o)) {
                        first = id;
                        break;
                    }
                EXPECT_EQ(t->locate(list, values, o), first.has_value()) << what;
                if (t->record_count()) {
                    EXPECT_EQ(t->field("ID").as_string(), first.value_or(before)) << what;
                }

                // Every bookmark taken so far: valid exactly while its row is in view.
                for (const auto& [mark, id] : marks) {
                    bool in_view =
                        std::find(view.begin(), view.end(), std::to_string(id)) != view.end();
                    EXPECT_EQ(t->bookmark_valid(mark), in_view) << "bookmark of " << id;
                    if (in_view) {
                        t->goto_bookmark(mark);
                        EXPECT_EQ(t->field("ID").as_integer(), id);
                    } else {
                        EXPECT_PAVO_ERROR(t->goto_bookmark(mark), ErrorKind::kNotFound,
                                          "Record not found");
                    }
                }
            }
        }
    }
}

TEST_F(SearchTest, SearchesLookAtTheFileAsItIsNow) {
    fill(*t, {{"", "ab", "x", "Rome", "1"}, {"", "ab", "y", "Oslo", "2"}});
    auto other = table("search");
    other->open();
    other->first();
    other->delete_record();  // row 1 goes through another dataset
    // This view still lists row 1; neither search may land on it or report it.
    EXPECT_TRUE(t->has_row("NAME", {"ab"}));
    EXPECT_FALSE(t->has_row("CODE", {"x"}));
    t->last();
    EXPECT_FALSE(t->locate("CODE", {"x"}));
    EXPECT_EQ(t->field("ID").as_string(), "2");
    t->first();
    EXPECT_TRUE(t->locate("NAME", {"ab"}));
    EXPECT_EQ(t->field("ID").as_string(), "2");
    // has_row sees the other dataset's posts without a re-read.
    other->append();
    other->field("NAME").set_as_string("new");
    other->post();
    EXPECT_TRUE(t->has_row("NAME", {"NEW"}, {.case_insensitive = true}));
}

TEST_F(SearchTest, HasRowMovesNothingAndPostsNothing) {
    fill(*t, {{"", "ab", "x", "Rome", "1"}, {"", "cd", "y", "Oslo", "2"}});
    t->first();
    t->edit();
    t->field("NAME").set_as_string("zz");
    EXPECT_FALSE(t->has_row("NAME", {"zz"}));  // the pending edit is not in the file
    EXPECT_TRUE(t->has_row("NAME", {"ab"}));
    EXPECT_EQ(t->state(), DatasetState::kEdit);
    t->cancel();
    t->last();
    EXPECT_TRUE(t->has_row("CITY;AMT", {"Rome", "1"}));
    EXPECT_EQ(t->record_number(), 2);
}

TEST_F(SearchTest, BadSearchesAreRefused) {
    fill(*t, {{"", "ab", "x", "Rome", "1"}});
    EXPECT_PAVO_ERROR(t->has_row("NAME;CODE", {"ab"}), ErrorKind::kInvalidInput, "one value");
    EXPECT_PAVO_ERROR(t->has_row("", {}), ErrorKind::kInvalidInput, "one value");
    EXPECT_PAVO_ERROR(t->has_row("NOPE", {"x"}), ErrorKind::kNotFound, "NOPE");
    EXPECT_PAVO_ERROR(t->has_row("AMT", {"lots"}), ErrorKind::kConversion, "'lots'");
    EXPECT_PAVO_ERROR(t->locate("AMT", {"lots"}), ErrorKind::kConversion, "'lots'");
    // An apostrophe or filter syntax in a value is only a value.
    EXPECT_FALSE(t->has_row("NAME", {"ab' OR NAME <> '"}));
    t->close();
    EXPECT_PAVO_ERROR(t->has_row("NAME", {"ab"}), ErrorKind::kInvalidInput, "closed");
}

TEST(QuoteFilterText, ValuesBecomeConstantsTheParserReadsBack) {
    const std::string values[] = {"", "plain", "O'Brien", "''", "' OR NAME <> '", "a'b'c'"};
    std::vector<FieldDef> fields = {{"NAME", FieldType::kString, 40}};
    for (const auto& v : values) {
        std::string text = "NAME = " + quote_filter_text(v);
        auto compiled = compile_filter(parse_filter(text), fields, false);
        if (v.empty()) continue;  // compiled as an empty-field test, no bound value
        ASSERT_EQ(compiled.binds.size(), 1u) << text;
        EXPECT_EQ(compiled.binds[0].text, v) << text;
    }
    EXPECT_EQ(quote_filter_text("O'Brien"), "'O''Brien'");
}

}  // namespace
}  // namespace pavo::tables::test
