#pragma once

#include <string>

namespace kelmira {

// Numbers written into files read the same in every locale: a decimal point, never a
// comma, whatever the user's session: the window's Qt sets the C library's locale from
// the environment, and printf's "%f" follows it.

// As printf's "%.<decimals>f" in the C locale: fixedDecimal(51, 4) is "51.0000".
std::string fixedDecimal(double value, int decimals);
// As printf's "%.<significant>g" in the C locale: generalDecimal(1.5, 6) is "1.5".
std::string generalDecimal(double value, int significant);

}  // namespace kelmira
