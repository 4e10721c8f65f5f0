#pragma once
// The model writes its numbers with '.', as the files hold them; on the
// screen they take the user's decimal separator.

#include <QString>

#include <string>

namespace ferrolyt::particles {

// The text with each '.' that starts the decimals of a number (a digit
// follows it) in the current locale's decimal separator; other full stops
// stay.
QString ScreenText(const std::string& text);

} // namespace ferrolyt::particles
