#pragma once
// How long a window test waits for a state before it gives up, in ms: long,
// as the machines that run the tests are busy and run them under
// AddressSanitizer. A test that passes waits only as long as the state takes
// to come.
inline constexpr int StateWaitMs = 60000;
