// Burns through ardovan-cli to virtual recorders, read back by xorriso, 7z and isoinfo.
#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class BurnTest : public TCliTest {
 protected:
  // A small tree: a folder with a subfolder, a file of odd size, an empty file; and a loose file.
  void MakeSources() {
    folder_ = Path("photos");
    MakeFile(folder_ + "/a.bin", 300001, 1);
    MakeFile(folder_ + "/trip/b.txt", 2049, 2);
    MakeFile(folder_ + "/trip/empty", 0, 3);
    loose_ = MakeFile(Path("notes.txt"), 4096, 4);
    AddFolder(expected_, folder_);
    expected_["/notes.txt"] = loose_;
  }

  std::string folder_, loose_;
  TExpected expected_;
};

TEST_F(BurnTest, CdRLogsTheSequenceAndReadsBack) {
  MakeSources();
  const std::string r = Recorder("cd-r");
  const TRun run = Cli("burn --volume-id PHOTOS " + folder_ + " " + loose_, {r});
  ASSERT_EQ(run.Code, 0) << run.All();
  const auto log = LogTexts(run.Out);
  // The wizard's lines in their order, then the write-done line, an empty line and the outcome.
  const std::vector<std::string> head = {
      " >>> Zahajuji proces vypalování... ",   " >>> Médium umožňuje zápis... ",
      " >>> Zjišťuji typ média (R/RW/RE)... ", " >>> Ověřování volného místa na médiu... ",
      " >>> Kapacita média je 702.83 MB...",   " >>> Příprava souborů... ",
      " >>> Inicializace vypalování... ",      " >>> Probíhá vypalování... "};
  ASSERT_GE(log.size(), head.size() + 3);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + head.size()), head);
  EXPECT_EQ(log[log.size() - 3], " >>> Vypalování dokončeno...");
  EXPECT_EQ(log[log.size() - 2], "");
  EXPECT_EQ(log.back(), " >>> Vypalování proběhlo úspěšně.");
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1);
  // Every line of the log carries a time stamp, except the empty one.
  for (const auto& l : Lines(run.Out))
    EXPECT_TRUE(l.empty() || l.compare(12, 5, " >>> ") == 0) << l;
  // The disc was ejected at the end.
  EXPECT_NE(Tool("status " + r).find("\"tray\": \"open\""), std::string::npos);

  const std::string iso = Export(r);
  ExpectReadBack(iso, expected_, false, Path("read"));
  std::string out;
  ASSERT_EQ(testenv::Run("isoinfo -d -i " + testenv::Quote(iso), &out), 0);
  EXPECT_NE(out.find("Volume id: PHOTOS"), std::string::npos) << out;
}

TEST_F(BurnTest, BdRWithUdfAndIso1999ReadsBackThroughEveryView) {
  MakeSources();
  const std::string r = Recorder("bd-r");
  const TRun run = Cli("burn --udf --iso1999 --no-eject " + folder_ + " " + loose_, {r});
  ASSERT_EQ(run.Code, 0) << run.All();
  EXPECT_NE(Tool("status " + r).find("\"tray\": \"closed\""), std::string::npos);
  const std::string iso = Export(r);
  ExpectReadBack(iso, expected_, true, Path("read-udf"));
  std::string out;
  ASSERT_EQ(testenv::Run("udfinfo " + testenv::Quote(iso), &out), 0) << out;
}

TEST_F(BurnTest, ThroughTheAspiLibraryWithACommandLog) {
  MakeSources();
  const std::string r = Recorder("cd-r");
  const std::string log = Path("commands.elg");
  const TRun run = Cli("--aspi --log " + log + " burn " + folder_ + " " + loose_, {r});
  ASSERT_EQ(run.Code, 0) << run.All();
  const std::string text = testenv::ReadText(log);
  EXPECT_EQ(text.rfind("Ardovan burning library 1.21", 0), 0u) << text.substr(0, 200);
  EXPECT_NE(text.find("WRITE"), std::string::npos);
  ExpectReadBack(Export(r), expected_, false, Path("read-aspi"));
}

TEST_F(BurnTest, DvdPlusRwWithDataIsKeptUnlessErased) {
  MakeSources();
  const std::string r = Recorder("dvd+rw");
  const std::string first = MakeFile(Path("old/first.txt"), 10000, 9);
  ASSERT_EQ(Cli("burn " + first, {r}).Code, 0);
  ASSERT_EQ(Cli("load", {r}).Code, 0);

  // Without --erase and without a terminal to ask on, the answer is No: nothing is written.
  const std::string before = Tool("status " + r);
  const TRun kept = Cli("burn " + folder_ + " " + loose_, {r});
  EXPECT_EQ(kept.Code, 3) << kept.All();
  const auto keptLog = LogTexts(kept.Out);
  EXPECT_TRUE(Contains(keptLog, " >>> Médium je přepisovatelné (RW/RE)... "));
  EXPECT_TRUE(Contains(keptLog, " >>> Přepisovatelné médium obsahuje data... "));
  EXPECT_EQ(keptLog.back(), " >>> Médium obsahuje data, vypalování přerušeno uživatelem... ");
  EXPECT_FALSE(Contains(keptLog, " >>> Probíhá vypalování... "));
  const std::string after = Tool("status " + r);
  EXPECT_EQ(after.substr(0, after.find("\"tray\"")), before.substr(0, before.find("\"tray\"")));
  EXPECT_NE(after.find("\"tray\": \"open\""), std::string::npos);

  // With --erase: a quick erase, the medium loaded again, the sequence from its start, one write.
  ASSERT_EQ(Cli("load", {r}).Code, 0);
  const TRun erased = Cli("burn --erase " + folder_ + " " + loose_, {r});
  ASSERT_EQ(erased.Code, 0) << erased.All();
  const auto log = LogTexts(erased.Out);
  EXPECT_TRUE(Contains(log, " >>> Provádním mazání... "));
  EXPECT_TRUE(Contains(log, " >>> Mazání média dokončeno... "));
  EXPECT_EQ(Count(log, " >>> Zahajuji proces vypalování... "), 2);
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1);
  EXPECT_EQ(Count(log, " >>> Přepisovatelné médium obsahuje data... "), 1);
  // The old file is gone; exactly the new compilation is on the disc.
  ExpectReadBack(Export(r), expected_, false, Path("read-rw"));
}

}  // namespace
}  // namespace clitest
