// mkimage, burn-image and copy through ardovan-cli.
#include <cstdio>

#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class ImageTest : public TCliTest {};

TEST_F(ImageTest, EmptyCompilationIs160Sectors) {
  const std::string iso = Path("empty.iso");
  const TRun run = Cli("mkimage --output " + iso);
  ASSERT_EQ(run.Code, 0) << run.All();
  EXPECT_EQ(fs::file_size(iso), 327680u);
  // The primary descriptor at sector 16 records a volume of 160 sectors and the label "DISK".
  const auto bytes = testenv::ReadFile(iso);
  const size_t pvd = 16 * 2048;
  EXPECT_EQ(std::string(bytes.begin() + pvd, bytes.begin() + pvd + 6), std::string("\x01"
                                                                                   "CD001",
                                                                                   6));
  EXPECT_EQ(std::string(bytes.begin() + pvd + 40, bytes.begin() + pvd + 44), "DISK");
  EXPECT_EQ(bytes[pvd + 80], 160);
  EXPECT_EQ(bytes[pvd + 81], 0);
  EXPECT_EQ(bytes[pvd + 87], 160);
}

TEST_F(ImageTest, MkimageToStdoutAndBurnImageGiveTheSameDisc) {
  TExpected expected;
  const std::string folder = Path("docs");
  MakeFile(folder + "/a.txt", 70000, 11);
  MakeFile(folder + "/deep/b.bin", 1 << 20, 12);
  AddFolder(expected, folder);
  const std::string iso = Path("docs.iso");
  const TRun made = Cli("mkimage --udf --volume-id DOCS --output " + iso + " " + folder);
  ASSERT_EQ(made.Code, 0) << made.All();
  EXPECT_EQ(fs::file_size(iso) % 65536, 0u);
  ExpectReadBack(iso, expected, true, Path("read-made"));

  // The same compilation on standard output gives the same bytes (the time stamps are those of
  // the same second unless the clock ticked over, so compare everything but the descriptors).
  const std::string piped = Path("piped.iso");
  ASSERT_EQ(testenv::Run(Env({}) + testenv::Quote(ARDOVAN_CLI_EXE) +
                         " mkimage --udf --volume-id DOCS --output - " + folder + " > " + piped),
            0);
  EXPECT_EQ(fs::file_size(piped), fs::file_size(iso));
  ExpectReadBack(piped, expected, false, Path("read-piped"));

  // burn-image writes the file unchanged from sector 0.
  const std::string r = Recorder("bd-r");
  const TRun burned = Cli("burn-image " + iso, {r});
  ASSERT_EQ(burned.Code, 0) << burned.All();
  const auto log = LogTexts(burned.Out);
  EXPECT_TRUE(Contains(log, " >>> Zapisuji ISO obraz na disk... "));
  EXPECT_FALSE(Contains(log, " >>> Příprava souborů... "));
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1);
  EXPECT_TRUE(testenv::ReadFile(Export(r)) == testenv::ReadFile(iso));
}

TEST_F(ImageTest, OutputInsideTheSourcesIsNeverPartOfTheImage) {
  const std::string folder = Path("zdroj");
  const std::string a = MakeFile(folder + "/a.txt", 5000, 15);
  const std::string iso = folder + "/obraz.iso";
  ASSERT_EQ(Cli("mkimage --output " + iso + " " + folder).Code, 0);
  // Again, with the image from the first run lying in the folder: left out, and said so.
  const TRun again = Cli("mkimage --output " + iso + " " + folder);
  ASSERT_EQ(again.Code, 0) << again.All();
  EXPECT_NE(again.Err.find("the image file " + iso + " lies among the sources; it is left out"),
            std::string::npos)
      << again.Err;
  ExpectReadBack(iso, TExpected{{"/zdroj/a.txt", a}}, false, Path("read-inside"));

  // An output that is one of the sources is refused before anything is truncated.
  const auto before = testenv::ReadFile(a);
  const TRun same = Cli("mkimage --output " + a + " " + a);
  EXPECT_EQ(same.Code, 2) << same.All();
  EXPECT_NE(same.Err.find("is one of the sources; nothing was written"), std::string::npos)
      << same.Err;
  EXPECT_TRUE(testenv::ReadFile(a) == before);
}

TEST_F(ImageTest, BootImageOnABurnedDisc) {
  const std::string boot = MakeFile(Path("boot.img"), 2048, 13);
  const std::string file = MakeFile(Path("readme.txt"), 100, 14);
  const std::string r = Recorder("dvd-r");
  const TRun run = Cli("burn --boot " + boot + " " + file, {r});
  ASSERT_EQ(run.Code, 0) << run.All();
  const std::string iso = Export(r);
  std::string out;
  ASSERT_EQ(
      testenv::Run("xorriso -indev " + testenv::Quote(iso) + " -report_el_torito plain", &out), 0)
      << out;
  EXPECT_NE(out.find("El Torito boot img :   1  BIOS  y   none"), std::string::npos) << out;
  // 7z shows the boot image as a file of its own: the bytes given.
  const std::string extracted = Path("7z-boot");
  ASSERT_EQ(
      testenv::Run("7z x -y -o" + testenv::Quote(extracted) + " " + testenv::Quote(iso), &out), 0)
      << out;
  EXPECT_TRUE(SameFile(extracted + "/[BOOT]/Boot-NoEmul.img", boot));
  EXPECT_TRUE(SameFile(extracted + "/readme.txt", file));
}

TEST_F(ImageTest, CopyOfAPressedDiscGivesTheOriginalImage) {
  const std::string source = Path("src.iso");
  MakeFile(Path("content/file.dat"), 500000, 21);
  ASSERT_EQ(Cli("mkimage --output " + source + " " + Path("content")).Code, 0);
  const std::string r = Recorder("");
  Tool("insert " + r + " --rom " + source);
  const std::string copy = Path("copy.iso");
  const TRun run = Cli("copy --output " + copy, {r});
  ASSERT_EQ(run.Code, 0) << run.All();
  EXPECT_TRUE(testenv::ReadFile(copy) == testenv::ReadFile(source));
  // The source disc comes out once it is read.
  EXPECT_NE(Tool("status " + r).find("\"tray\": \"open\""), std::string::npos);

  // Without --output the image goes to the kept temporary folder as ardovan.iso.
  const std::string temp = Path("copies");
  WriteSettings("[Setting]\nTempDir=" + temp + "\n");
  ASSERT_EQ(Cli("load", {r}).Code, 0);
  const TRun kept = Cli("copy --no-eject", {r});
  ASSERT_EQ(kept.Code, 0) << kept.All();
  EXPECT_TRUE(testenv::ReadFile(temp + "/ardovan.iso") == testenv::ReadFile(source));
  EXPECT_NE(Tool("status " + r).find("\"tray\": \"closed\""), std::string::npos);
}

TEST_F(ImageTest, CopyRefusals) {
  // A blank disc holds nothing to copy; an empty drive has nothing at all.
  const std::string blank = Recorder("dvd-r");
  TRun run = Cli("copy --output " + Path("x.iso"), {blank});
  EXPECT_EQ(run.Code, 3);
  EXPECT_EQ(run.Err, "Médium neobsahuje žádná data... \n");
  const std::string empty = Recorder("");
  run = Cli("copy --output " + Path("x.iso"), {empty});
  EXPECT_EQ(run.Code, 3);
  EXPECT_EQ(run.Err,
            "Nenalezeno žádné médium v mechanice. Vložte do mechaniky potřebné médium a akci "
            "opakujte... \n");

  // Blocks that stay unreadable: the copy is refused.
  MakeFile(Path("content/file.dat"), 500000, 22);
  const std::string source = Path("src.iso");
  ASSERT_EQ(Cli("mkimage --output " + source + " " + Path("content")).Code, 0);
  const std::string r = Recorder("");
  Tool("insert " + r + " --rom " + source);
  Tool("fault " + r + " --opcode 28 --sense 3/11/00 --lba 100-120 --times 0");
  run = Cli("copy --output " + Path("bad.iso"), {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  EXPECT_NE(run.Err.find("Disk se nepodařilo přečíst celý. Kopie se neprovede."), std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find("Unreadable Blocks : 100 - 120"), std::string::npos) << run.Err;
}

TEST_F(ImageTest, IncompleteCompilationIsNamedAndGoesOnlyWhenAllowed) {
  // A subfolder whose name is longer than a compilation accepts (218 characters) is left out;
  // the rest of its folder goes in.
  const std::string folder = Path("dilo");
  const std::string a = MakeFile(folder + "/a.txt", 1000, 21);
  MakeFile(folder + "/" + std::string(218, 'd') + "/b.txt", 1000, 22);
  const std::string good = MakeFile(Path("dobry.txt"), 500, 23);
  const std::string named =
      "Nepřidáno: " + folder + "/" + std::string(218, 'd') + " (název je delší než 217 znaků)";

  const std::string iso = Path("neuplny.iso");
  const TRun made = Cli("mkimage --output " + iso + " " + good + " " + folder);
  EXPECT_EQ(made.Code, 1) << made.All();
  EXPECT_TRUE(Contains(Lines(made.Err), named)) << made.Err;
  EXPECT_FALSE(fs::exists(iso));
  const TRun allowed =
      Cli("mkimage --allow-incomplete --output " + iso + " " + good + " " + folder);
  EXPECT_EQ(allowed.Code, 1) << allowed.All();
  const TExpected expected{{"/dobry.txt", good}, {"/dilo/a.txt", a}};
  ExpectReadBack(iso, expected, false, Path("read-image"));

  // A burn does not start on a disc that would lack part of what was asked for.
  const std::string r = Recorder("cd-r");
  const TRun refused = Cli("burn " + good + " " + folder, {r});
  EXPECT_EQ(refused.Code, 3) << refused.All();
  auto log = LogTexts(refused.Out);
  EXPECT_TRUE(Contains(log, named)) << refused.Out;
  EXPECT_EQ(log.back(), " >>> Kompilace není úplná (nepřidáno: 1), vypalování se neprovede... ");
  EXPECT_NE(refused.Err.find("--allow-incomplete"), std::string::npos) << refused.Err;
  EXPECT_NE(Tool("status " + r).find("\"disc_status\": \"blank\""), std::string::npos);

  // Allowed, it burns what could be added and ends with exit code 1, the last line saying so.
  ASSERT_EQ(Cli("load", {r}).Code, 0);
  const TRun burned = Cli("burn --allow-incomplete " + good + " " + folder, {r});
  EXPECT_EQ(burned.Code, 1) << burned.All();
  log = LogTexts(burned.Out);
  EXPECT_TRUE(Contains(log, named)) << burned.Out;
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1);
  EXPECT_EQ(log.back(),
            " >>> Vypalování dokončeno, ale disk neobsahuje celou kompilaci (nepřidáno: 1).");
  ExpectReadBack(Export(r), expected, false, Path("read-incomplete"));
}

}  // namespace
}  // namespace clitest
