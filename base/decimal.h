#pragma once

// A decimal integer as the driver reads numbers typed by people and sent by clients: leading white
// space, an optional sign, then digits up to the first other character; 0 without digits. Values
// beyond the range of int are clamped to it. A null text reads as 0.
int ParseDecimal(const char* text);
