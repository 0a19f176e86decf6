#pragma once
// A parcel-label content of 1000 characters (the carrier code's maximum), shared by the encoder
// tests and the encoder benchmark: ISO 15434 blocks with group and record separators, upper-case
// codes, digits, addresses with ISO-8859-1 letters, and an end-of-transmission mark.

#include <string>

namespace vgl::test {

inline std::string CarrierContent() {
    std::string s = "[)>\x1e"
                    "01\x1d"
                    "02\x1d"
                    "01067\x1d"
                    "276\x1d"
                    "101\x1d"
                    "01905002345615\x1d"
                    "ABCD\x1d"
                    "12345678901234567\x1d"
                    "123\x1d"
                    "Order 4711, ref. A-99/2023\x1d"
                    "001/001\x1d"
                    "12.50KG\x1d"
                    "N\x1d"
                    "Hauptstra\xdf"
                    "e 12\x1d"
                    "Dresden\x1d"
                    "SN\x1d"
                    "M\xfcller & S\xf6hne GmbH\x1e"
                    "07\x1d"
                    "G03\x1d"
                    "1\x1d"
                    "0\x1d"
                    "1\x1d";
    const std::string filler = "Bitte beim Nachbarn abgeben: Haus 3, 2. OG. Tel. +49 351 123456; mail@example.com ";
    while (s.size() < 998)
        s += filler;
    s.resize(998);
    s += "\x1e\x04";
    return s;
}

} // namespace vgl::test
