// Writing: checks against the layout, unique keys that leave blanks out, numbering,
// transactions across the files and batch-write mode.
#include <gtest/gtest.h>

#include "framework/records/RecordCursor.h"
#include "records/RawSqlite.h"
#include "records/TestLayouts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

class RecordWriteTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db.open()); }
    test::TempDir dir;
    RecordDatabase db{dir.path(), test::testFiles()};
};

TEST_F(RecordWriteTest, ValuesAreCheckedAgainstTheirFieldsAndNeverCut) {
    struct Case {
        Record record;
        const char* message;
    };
    const Case refused[] = {
        {test::item(1, "ABCDE", "x"), "ITM:CODE may hold at most 4 characters; the value given has 5."},
        {test::item(1, "", "elevenchars"), "ITM:NAME may hold at most 10 characters; the value given has 11."},
        {test::item(1, "", "x", 256), "ITM:FLAG must be a number from 0 to 255; 256 does not fit."},
        {test::item(1, "", "x", -1), "ITM:FLAG must be a number from 0 to 255; -1 does not fit."},
        {test::item(std::int64_t{1} << 31, "", "x"), "ITM:NUM must be a number from -2147483648 to 2147483647"},
        {test::item(1, "", "bad\xC3(", 0), "ITM:NAME holds characters that are not valid UTF-8 text."},
        {test::item(1, "", "x", 0, std::string(31, 'n')), "ITM:NOTE may hold at most 30 characters"},
    };
    for (const auto& c : refused) {
        auto id = db.insert("Items", c.record);
        ASSERT_FALSE(id) << c.message;
        EXPECT_NE(id.error().find(c.message), std::string::npos) << id.error();
    }
    EXPECT_EQ(*db.count("Items"), 0);

    // Widths count characters, not bytes; trailing spaces do not count and are not stored.
    auto id = db.insert("Items", test::item(1, "ÄÖÜß", "éééééééééé   ", 255, std::string(30, 'n')));
    ASSERT_TRUE(id) << id.error();
    auto stored = db.fetch("Items", *id);
    EXPECT_EQ((*stored)->text(1), "ÄÖÜß");
    EXPECT_EQ((*stored)->text(2), "éééééééééé");

    // A change is checked the same way and the stored record stays as it was.
    Record wider = **stored;
    wider.values[2] = Value(std::string("a name too long"));
    EXPECT_FALSE(db.update("Items", wider));
    EXPECT_EQ((*db.fetch("Items", *id))->text(2), "éééééééééé");
}

TEST_F(RecordWriteTest, UniqueKeysLeaveBlanksOutAndCompareWithoutCase) {
    ASSERT_TRUE(db.insert("Items", test::item(1, "", "a")));
    ASSERT_TRUE(db.insert("Items", test::item(2, "", "b"))) << "blank codes side by side";
    ASSERT_TRUE(db.insert("Items", test::item(3, "   ", "c"))) << "spaces only is blank too";
    ASSERT_TRUE(db.insert("Items", test::item(4, "ABCD", "d")));

    auto dup = db.insert("Items", test::item(5, "abcd", "e"));
    ASSERT_FALSE(dup);
    EXPECT_EQ(dup.error(),
              "Duplicate key K_Code: the value \"abcd\" of ITM:CODE is already used by another record in Items.tps. "
              "Change the value.");
    dup = db.insert("Items", test::item(4, "WXYZ", "f"));
    ASSERT_FALSE(dup);
    EXPECT_NE(dup.error().find("Duplicate key K_Num: the value 4 of ITM:NUM"), std::string::npos) << dup.error();

    // Changing a record into another's key is refused; keeping its own key is not.
    RecordCursor c(db, "Items", "K_Num");
    Record second = c.find({Value(std::int64_t{2})})->value();
    second.values[1] = Value(std::string("Abcd"));
    Status s = db.update("Items", second);
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("K_Code"), std::string::npos);
    Record fourth = c.find({Value(std::int64_t{4})})->value();
    fourth.values[1] = Value(std::string("abcd"));
    EXPECT_TRUE(db.update("Items", fourth)) << "a record does not collide with itself";
    EXPECT_EQ(*db.count("Items"), 4);
}

TEST_F(RecordWriteTest, NumberingIsHighestPlusOne) {
    EXPECT_EQ(*db.nextNumber("Items", "NUM"), 1);
    ASSERT_TRUE(db.insert("Items", test::item(7, "", "a")));
    auto top = db.insert("Items", test::item(9, "", "b"));
    EXPECT_EQ(*db.nextNumber("Items", "NUM"), 10);
    ASSERT_TRUE(db.erase("Items", *top));
    EXPECT_EQ(*db.nextNumber("Items", "NUM"), 8) << "the highest number is given again after its deletion";
}

TEST_F(RecordWriteTest, ChangingOrDeletingWhatIsGone) {
    auto id = db.insert("Items", test::item(1, "", "a"));
    Record r = (*db.fetch("Items", *id)).value();
    ASSERT_TRUE(db.erase("Items", *id));
    Status s = db.update("Items", r);
    ASSERT_FALSE(s) << "a change to a deleted record must not report success";
    EXPECT_NE(s.error().find("no longer in Items.tps"), std::string::npos);
    EXPECT_TRUE(db.erase("Items", *id));
    EXPECT_EQ(*db.count("Items"), 0);
}

TEST_F(RecordWriteTest, TransactionsSpanTheFilesAndRollBackTogether) {
    ASSERT_TRUE(db.insert("Items", test::item(1, "KEEP", "kept")));
    Status s = db.transaction([&]() -> Status {
        if (!db.insert("Tags", test::tag("new"))) return Status::failure("tag");
        if (!db.insert("Items", test::item(2, "", "new"))) return Status::failure("item");
        return Status::failure("stop here");
    });
    EXPECT_EQ(s.error(), "stop here");
    EXPECT_EQ(*db.count("Tags"), 0);
    EXPECT_EQ(*db.count("Items"), 1);

    // An inner failure undoes the inner work only.
    s = db.transaction([&]() -> Status {
        db.insert("Tags", test::tag("outer"));
        Status inner = db.transaction([&]() -> Status {
            db.insert("Tags", test::tag("inner"));
            return Status::failure("inner fails");
        });
        EXPECT_FALSE(inner);
        return {};
    });
    EXPECT_TRUE(s);
    RecordCursor tags(db, "Tags", "K_Tag");
    auto all = tags.all();
    ASSERT_EQ(all->size(), 1u);
    EXPECT_EQ(all->front().text(0), "outer");

    // A failing write inside a transaction fails it as a whole.
    s = db.transaction([&]() -> Status {
        db.insert("Tags", test::tag("lost"));
        auto dup = db.insert("Items", test::item(3, "keep", "dup"));
        return dup ? Status() : Status::failure(dup.error());
    });
    EXPECT_NE(s.error().find("Duplicate key K_Code"), std::string::npos);
    EXPECT_EQ(*db.count("Tags"), 1);
}

TEST_F(RecordWriteTest, BatchWritesReachTheFilesOnlyWhenCommitted) {
    test::RawSqlite reader(dir.file("Items.tps"), test::TestPassword);
    {
        BatchWrite batch(db);
        ASSERT_TRUE(batch.started());
        for (int i = 1; i <= 200; ++i) ASSERT_TRUE(db.insert("Items", test::item(i, "", "n")));
        EXPECT_TRUE(db.inBatch());
        EXPECT_EQ(reader.scalar("SELECT count(*) FROM Items"), "0") << "another reader sees nothing before the flush";
        EXPECT_FALSE(db.beginBatch()) << "batches do not nest";
        EXPECT_TRUE(batch.commit());
    }
    EXPECT_EQ(reader.scalar("SELECT count(*) FROM Items"), "200");
    {
        BatchWrite dropped(db);
        db.insert("Items", test::item(999, "", "gone"));
        db.insert("Tags", test::tag("gone"));
    }
    EXPECT_FALSE(db.inBatch());
    EXPECT_EQ(*db.count("Items"), 200);
    EXPECT_EQ(*db.count("Tags"), 0);
}

}  // namespace
}  // namespace quillet
