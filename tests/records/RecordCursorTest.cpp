// Keyed reads: order without regard to case, exact and at-or-after reads, walking both
// ways, blank keys left out, and independent cursors on one file.
#include <gtest/gtest.h>

#include "framework/records/RecordCursor.h"
#include "records/TestLayouts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

class RecordCursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.open());
        // Names in an order that neither insertion nor byte order gives.
        const char* names[] = {"banana", "Apple", "cherry", "apple", "Banana", "", "APRICOT", "date"};
        std::int64_t num = 10;
        for (const char* name : names) {
            auto id = db.insert("Items", test::item(num, "", name, num % 3));
            ASSERT_TRUE(id) << id.error();
            num += 10;
        }
    }

    // Names met walking forward from the first record.
    std::vector<std::string> walkForward(RecordCursor& c) {
        std::vector<std::string> out;
        for (auto r = c.first(); r && r->has_value(); r = c.next()) out.push_back((*r)->text(2));
        return out;
    }

    test::TempDir dir;
    RecordDatabase db{dir.path(), test::testFiles()};
};

TEST_F(RecordCursorTest, NameKeyOrdersWithoutRegardToCaseAndLeavesBlanksOut) {
    RecordCursor c(db, "Items", "K_Name");
    // Equal keys keep the order in which they were stored.
    const std::vector<std::string> expected{"Apple", "apple", "APRICOT", "banana", "Banana", "cherry", "date"};
    EXPECT_EQ(walkForward(c), expected);

    std::vector<std::string> backward;
    for (auto r = c.last(); r && r->has_value(); r = c.previous()) backward.push_back((*r)->text(2));
    EXPECT_EQ(backward, std::vector<std::string>(expected.rbegin(), expected.rend()));
    EXPECT_EQ(*db.count("Items"), 8) << "the blank name is stored, only left out of the key";
}

TEST_F(RecordCursorTest, ExactAndAtOrAfterReads) {
    RecordCursor c(db, "Items", "K_Name");
    auto r = c.find({Value(std::string("BANANA"))});
    ASSERT_TRUE(r && r->has_value());
    EXPECT_EQ((*r)->text(2), "banana") << "first of the equal keys";
    r = c.next();
    EXPECT_EQ((*r)->text(2), "Banana");

    EXPECT_FALSE(c.find({Value(std::string("banan"))})->has_value()) << "exact means exact";

    r = c.seek({Value(std::string("APR"))});
    EXPECT_EQ((*r)->text(2), "APRICOT");
    r = c.seek({Value(std::string("b"))});
    EXPECT_EQ((*r)->text(2), "banana");
    r = c.seek({Value(std::string("cherry"))});
    EXPECT_EQ((*r)->text(2), "cherry") << "at or after includes an equal key";
    EXPECT_FALSE(c.seek({Value(std::string("zebra"))})->has_value());

    // At the end the position stays on the last record read.
    c.find({Value(std::string("date"))});
    EXPECT_FALSE(c.next()->has_value());
    EXPECT_EQ(c.previous()->value().text(2), "cherry");
}

TEST_F(RecordCursorTest, TwoFieldKeyReadsByLeadingFieldAndOrdersByBoth) {
    RecordCursor c(db, "Items", "K_NumFlag");
    ASSERT_TRUE(db.insert("Items", test::item(0, "", "zero num", 2)));
    ASSERT_TRUE(db.insert("Items", test::item(0, "", "all blank", 0)));

    auto rows = c.all();
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->size(), 9u) << "only the record with NUM 0 and FLAG 0 is out of the key";
    EXPECT_EQ(rows->front().text(2), "zero num");

    auto r = c.find({Value(std::int64_t{40})});
    ASSERT_TRUE(r->has_value());
    EXPECT_EQ((*r)->text(2), "apple");
    r = c.seek({Value(std::int64_t{41})});
    EXPECT_EQ((*r)->number(0), 50);
    r = c.seek({Value(std::int64_t{60}), Value(std::int64_t{1})});
    EXPECT_EQ((*r)->number(0), 70) << "60 has FLAG 0, so (60,1) comes after it";
}

TEST_F(RecordCursorTest, CursorsOnOneFileKeepTheirOwnPositions) {
    RecordCursor main(db, "Items", "K_Name");
    RecordCursor alias(db, "Items", "K_Num");
    auto held = main.find({Value(std::string("cherry"))});
    ASSERT_TRUE(held->has_value());

    std::vector<std::int64_t> nums;
    for (auto r = alias.first(); r && r->has_value(); r = alias.next()) nums.push_back((*r)->number(0));
    EXPECT_EQ(nums, (std::vector<std::int64_t>{10, 20, 30, 40, 50, 60, 70, 80}));

    EXPECT_EQ(main.current()->text(2), "cherry");
    EXPECT_EQ(main.next()->value().text(2), "date");
}

TEST_F(RecordCursorTest, AWalkContinuesPastARecordDeletedUnderIt) {
    RecordCursor walker(db, "Items", "K_Name");
    RecordCursor other(db, "Items", "K_Name");
    walker.find({Value(std::string("APRICOT"))});
    auto victim = other.find({Value(std::string("APRICOT"))});
    ASSERT_TRUE(other.erase((*victim)->id));
    EXPECT_EQ(walker.next()->value().text(2), "banana");
    EXPECT_EQ(walker.previous()->value().text(2), "apple");
}

TEST_F(RecordCursorTest, ChangingTheKeyKeepsTheCurrentRecord) {
    RecordCursor c(db, "Items", "K_Name");
    c.find({Value(std::string("cherry"))});  // NUM 30
    ASSERT_TRUE(c.setKey("K_Num"));
    EXPECT_EQ(c.next()->value().number(0), 40);
    EXPECT_FALSE(c.setKey("K_Nothing"));
}

}  // namespace
}  // namespace quillet
