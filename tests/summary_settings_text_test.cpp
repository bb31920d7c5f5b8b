// The summary's targets and thresholds read from texts: the runner's
// options and the window's Targets page go through this one reader.

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "summary/SummarySettingsText.h"

using namespace kelvane;

TEST(SummarySettingsText, UnitsThresholdsAndDefaults) {
  SummarySettingsTexts t;
  SummarySettingsRead r = ReadSummarySettings(t);
  ASSERT_TRUE(r.Ok());
  EXPECT_FALSE(r.Settings.ResidualTarget);
  EXPECT_FALSE(r.Settings.WebWidth);
  EXPECT_FALSE(r.Settings.MaxFilmTemperature);
  EXPECT_EQ(r.Settings.BoilingPointShare, SummarySettings{}.BoilingPointShare);

  const struct {
    const char* text;
    double value;
    ResidualUnit unit;
  } targets[] = {{"1%", 1, ResidualUnit::PercentOfInitial},
                 {"0.5g/m2", 0.5, ResidualUnit::GramsPerSquareMetre},
                 {"500ppm", 500, ResidualUnit::PpmOfDryCoating}};
  for (const auto& c : targets) {
    t.ResidualTarget = c.text;
    r = ReadSummarySettings(t);
    ASSERT_TRUE(r.Ok()) << c.text;
    EXPECT_EQ(*r.Settings.ResidualTarget, c.value) << c.text;
    EXPECT_EQ(r.Settings.ResidualTargetUnit, c.unit) << c.text;
  }
  t.MaxFilmTemperature = "120";
  t.WebWidth = "1.5";
  t.BoilingPointShare = "2";  // % of the coating: a fraction of 0.02
  t.SkinSurfacePolymer = "0.9";
  t.SkinSolventRemaining = "40";
  r = ReadSummarySettings(t);
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_EQ(*r.Settings.MaxFilmTemperature, 120);
  EXPECT_EQ(*r.Settings.WebWidth, 1.5);
  EXPECT_DOUBLE_EQ(r.Settings.BoilingPointShare, 0.02);
  EXPECT_EQ(r.Settings.SkinSurfacePolymer, 0.9);
  EXPECT_EQ(r.Settings.SkinSolventRemaining, 40);
}

// The first text that cannot be read is named, with what it should be.
TEST(SummarySettingsText, ErrorsNameTheirField) {
  const struct {
    SummarySettingField field;
    const char* text;
  } bad[] = {{SummarySettingField::ResidualTarget, "1 percent"}, {SummarySettingField::ResidualTarget, "-1%"},
             {SummarySettingField::ResidualTarget, "%"},         {SummarySettingField::MaxFilmTemperature, "hot"},
             {SummarySettingField::WebWidth, "0"},                {SummarySettingField::BoilingPointShare, "101"},
             {SummarySettingField::SkinSurfacePolymer, "1.5"},    {SummarySettingField::SkinSolventRemaining, "50x"}};
  for (const auto& c : bad) {
    SummarySettingsTexts t;
    switch (c.field) {
      case SummarySettingField::ResidualTarget: t.ResidualTarget = c.text; break;
      case SummarySettingField::MaxFilmTemperature: t.MaxFilmTemperature = c.text; break;
      case SummarySettingField::WebWidth: t.WebWidth = c.text; break;
      case SummarySettingField::BoilingPointShare: t.BoilingPointShare = c.text; break;
      case SummarySettingField::SkinSurfacePolymer: t.SkinSurfacePolymer = c.text; break;
      case SummarySettingField::SkinSolventRemaining: t.SkinSolventRemaining = c.text; break;
      case SummarySettingField::None: break;
    }
    const SummarySettingsRead r = ReadSummarySettings(t);
    EXPECT_EQ(r.Field, c.field) << c.text;
    EXPECT_FALSE(r.Error.empty()) << c.text;
    EXPECT_NE(std::string(SummarySettingCaption(r.Field)), "") << c.text;
  }
}

// A full stop is the decimal mark under any process locale (the window's is
// the desktop's).
TEST(SummarySettingsText, FullStopUnderACommaLocale) {
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no locale with a decimal comma installed";
  SummarySettingsTexts t;
  t.ResidualTarget = "0.5%";
  t.WebWidth = "1.25";
  const SummarySettingsRead r = ReadSummarySettings(t);
  std::setlocale(LC_NUMERIC, before.c_str());
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_EQ(*r.Settings.ResidualTarget, 0.5);
  EXPECT_EQ(*r.Settings.WebWidth, 1.25);
}
