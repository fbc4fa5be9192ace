// Random registry contents of every type and size must load into valid options, and what loads
// must save and load again unchanged.
#include "OptionsPersistency.h"
#include "RegistrySandbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

const wchar_t* const kValueNames[] = {L"CtiParameter", L"ImportAttributes", L"ChordHeight",
                                      L"AngleControl"};

std::vector<unsigned char> randomData(std::mt19937& random) {
    std::uniform_int_distribution<int> pick(0, 9);
    std::size_t size = 0;
    switch (pick(random)) {
    case 0:
        size = 0;
        break;
    case 1:
        size = 4;
        break;
    case 2:
        size = std::uniform_int_distribution<std::size_t>(1, 9)(random);
        break;
    default:
        size = std::uniform_int_distribution<std::size_t>(0, 300)(random);
        break;
    }
    std::vector<unsigned char> data(size);
    // Mostly text made of the units that matter to the parser: NUL, the scope digits, letters
    // and surrogate halves; sometimes plain random bytes.
    const bool text = pick(random) < 7;
    static const unsigned short units[] = {0x0000, 0x0031, 0x0032, 0x0033, 0x0034,
                                           0x0041, 0x0042, 0x00E9, 0xD83D, 0xDE00};
    for (std::size_t i = 0; i < size; ++i) {
        if (text) {
            unsigned short unit = units[std::uniform_int_distribution<int>(0, 9)(random)];
            data[i] = static_cast<unsigned char>(i % 2 == 0 ? unit & 0xFF : unit >> 8);
        } else {
            data[i] = static_cast<unsigned char>(random());
        }
    }
    return data;
}

void expectValid(const Velmora::OptionsPersistency& options) {
    EXPECT_EQ(options.ctiParameter.find(L'\0'), std::wstring::npos);
    for (const ImportAttribute& attribute : options.importAttributes) {
        EXPECT_FALSE(attribute.name.empty());
        EXPECT_EQ(attribute.name.find(L'\0'), std::wstring::npos);
        EXPECT_GE(attribute.type, 0);
        EXPECT_LE(attribute.type, 2);
    }
    for (double value : {options.chordHeight, options.angleControl}) {
        EXPECT_TRUE(std::isfinite(value));
        EXPECT_GE(value, 0.0);
        EXPECT_LE(value, 4294967.295);
    }
}

TEST(OptionsFuzz, RandomStoredValuesLoadAsValidOptions) {
    std::mt19937 random(20240611u);
    const DWORD types[] = {REG_NONE,  REG_SZ,       REG_EXPAND_SZ, REG_BINARY,
                           REG_DWORD, REG_MULTI_SZ, REG_QWORD,     REG_DWORD_BIG_ENDIAN};
    for (int iteration = 0; iteration < 150; ++iteration) {
        RegistrySandbox sandbox;
        createKey(HKEY_CURRENT_USER, kOptionsKeyPath);
        for (const wchar_t* name : kValueNames) {
            int choice = std::uniform_int_distribution<int>(0, 11)(random);
            if (choice == 0) {
                continue; // absent
            }
            // Half of the time the type the loader looks for, so that the parsers see the data.
            DWORD type = choice <= 5 ? (name == kValueNames[0]   ? REG_SZ
                                        : name == kValueNames[1] ? REG_MULTI_SZ
                                                                 : REG_DWORD)
                                     : types[std::uniform_int_distribution<int>(0, 7)(random)];
            writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, name, type, randomData(random));
        }

        Velmora::OptionsPersistency loaded = loadOptions();
        SCOPED_TRACE(iteration);
        expectValid(loaded);

        saveOptions(loaded);
        Velmora::OptionsPersistency again = loadOptions();
        EXPECT_EQ(again.ctiParameter, loaded.ctiParameter);
        EXPECT_EQ(again.importAttributes, loaded.importAttributes);
        EXPECT_EQ(again.chordHeight, loaded.chordHeight);
        EXPECT_EQ(again.angleControl, loaded.angleControl);
        if (HasFailure()) {
            break;
        }
    }
}

} // namespace
