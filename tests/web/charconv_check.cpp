// The web build's double conversion against the texts the standard's
// shortest round-trip formatting gives, and exact reading. Run under node
// by the web test step; prints each mismatch and exits 1 on any.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

struct Row {
  double Value;
  const char* Text;
};

// Shortest digits; fixed unless scientific is shorter (a tie stays fixed).
// The texts are what libstdc++ 12 writes for the same values.
constexpr Row kRows[] = {
    {0.0, "0"},
    {-0.0, "-0"},
    {1.0, "1"},
    {-2.5, "-2.5"},
    {0.1, "0.1"},
    {8.25, "8.25"},
    {123456.0, "123456"},
    {1e8, "1e+08"},
    {1e16, "1e+16"},
    {1234567.0, "1234567"},
    {0.001, "0.001"},
    {0.0001, "1e-04"},
    {0.3, "0.3"},
    {2.0 / 3.0, "0.6666666666666666"},
    {1.7976931348623157e308, "1.7976931348623157e+308"},
    {5e-324, "5e-324"},
    {2.2250738585072014e-308, "2.2250738585072014e-308"},
    {9007199254740993.0, "9007199254740992"},
    {123456789012345680000.0, "123456789012345683968"},
    {1e21, "1e+21"},
    {1.5e-5, "1.5e-05"},
    {std::numeric_limits<double>::infinity(), "inf"},
};

}  // namespace

int main() {
  int failures = 0;
  for (const Row& row : kRows) {
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, row.Value);
    const std::string text(buffer, written.ptr);
    if (text != row.Text) {
      std::printf("to_chars(%.17g) gave \"%s\", expected \"%s\"\n", row.Value, text.c_str(), row.Text);
      ++failures;
    }
    double back = 0;
    const auto read = std::from_chars(row.Text, row.Text + std::strlen(row.Text), back);
    const bool same = std::memcmp(&back, &row.Value, sizeof back) == 0;
    if (std::strcmp(row.Text, "inf") != 0 && (read.ec != std::errc() || !same)) {
      std::printf("from_chars(\"%s\") gave %.17g\n", row.Text, back);
      ++failures;
    }
  }
  // A text too long for the buffer is refused, not cut.
  char small[3];
  if (std::to_chars(small, small + sizeof small, 0.125).ec != std::errc::value_too_large) {
    std::printf("to_chars wrote past a short buffer\n");
    ++failures;
  }
  std::printf("%d of %zu conversions wrong\n", failures, sizeof kRows / sizeof kRows[0]);
  return failures == 0 ? 0 : 1;
}
