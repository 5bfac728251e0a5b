#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/errors.h"
#include "support/number_text.h"

using namespace bw;

TEST(FixedText, RoundsToSignificantDigitsThenThreeDecimals) {
  EXPECT_EQ(F5(1), "1.000");
  EXPECT_EQ(F5(12.34567), "12.346");
  EXPECT_EQ(F4(12.34567), "12.350");
  EXPECT_EQ(F4(-0.5), "-0.500");
  EXPECT_EQ(F5(12345.6), "12346.000");
  EXPECT_EQ(FloatText(1), "1.000");
  EXPECT_EQ(FloatText(-2.5), "-2.500");
  EXPECT_EQ(FloatText(0.0004), "0.000");
  EXPECT_EQ(FloatText(0.0005), "0.001");
  EXPECT_EQ(FloatText(static_cast<double>(123456.789f)), "123456.790");
  EXPECT_EQ(FloatText(-0.0004), "0.000");
  EXPECT_EQ(FloatText(-0.0), "0.000");
}

TEST(FixedText, SwitchesToScientificBeyondItsDigits) {
  EXPECT_EQ(F5(123456.7), "1.2346E005");
  EXPECT_EQ(F4(12345.6), "1.235E004");
  EXPECT_EQ(F5(99999.7), "1E005");
  EXPECT_EQ(F4(-12345.6), "-1.235E004");
  EXPECT_EQ(FloatText(static_cast<double>(3e38f)), "3E038");
  EXPECT_EQ(FloatText(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(TexCoordText, FormsOfThePolygonLines) {
  EXPECT_EQ(TexCoordText(0.5f), "0.500000");
  EXPECT_EQ(TexCoordText(1.0f), "1.000000");
  EXPECT_EQ(TexCoordText(-0.25f), "-0.250000");
  EXPECT_EQ(TexCoordText(-0.0000004f), "0.000000");
  EXPECT_EQ(TexCoordText(-0.0000006f), "-0.000001");
  EXPECT_EQ(TexCoordText(-0.0f), "0.000000");
  EXPECT_EQ(TexCoordText(123.456789f), "123.456790");
  EXPECT_EQ(TexCoordText(0.1f), "0.100000");
  EXPECT_EQ(TexCoordText(9.9999999f), "10.000000");
}

TEST(TexCoordText, NeverAnExponentNorAWord) {
  EXPECT_EQ(TexCoordText(123456789.0f), "123456790.000000");
  EXPECT_EQ(TexCoordText(100000000.0f), "100000000.000000");
  EXPECT_EQ(TexCoordText(99999992.0f), "99999992.000000");
  EXPECT_EQ(TexCoordText(-3e9f), "-3000000000.000000");
  EXPECT_EQ(TexCoordText(std::numeric_limits<float>::quiet_NaN()), "0.000000");
  EXPECT_EQ(TexCoordText(std::numeric_limits<float>::infinity()), "0.000000");
  EXPECT_EQ(TexCoordText(-std::numeric_limits<float>::infinity()), "0.000000");
  const std::string big = TexCoordText(std::numeric_limits<float>::max());
  EXPECT_EQ(big.substr(0, 9), "340282350");
  EXPECT_EQ(big.size(), 39u + 7u);
  EXPECT_EQ(big.find_first_not_of("0123456789."), std::string::npos);
}

TEST(ScaledCoord, RoundsTiesToEven) {
  EXPECT_EQ(ScaledCoord(0.0625f, 1000.0f), 62);
  EXPECT_EQ(ScaledCoord(0.1875f, 1000.0f), 188);
  EXPECT_EQ(ScaledCoord(-0.0625f, 1000.0f), -62);
  EXPECT_EQ(ScaledCoord(2.5f, 1.0f), 2);
  EXPECT_EQ(ScaledCoord(3.5f, 1.0f), 4);
  EXPECT_EQ(ScaledCoord(-2.5f, 1.0f), -2);
  EXPECT_EQ(ScaledCoord(0.5f, -1000.0f), -500);
}

TEST(ScaledCoord, FailsForValuesThatCannotBeIntegers) {
  EXPECT_THROW(ScaledCoord(std::numeric_limits<float>::quiet_NaN(), 1000.0f), EInvalidOp);
  EXPECT_THROW(ScaledCoord(std::numeric_limits<float>::infinity(), 1.0f), EInvalidOp);
  EXPECT_THROW(ScaledCoord(1e30f, 1000000.0f), EInvalidOp);
  EXPECT_EQ(ScaledCoord(-9.2233720e18f, 1.0f), static_cast<int64_t>(-9.2233720e18f));
}
