// marlo-name-readings: how many names of a hand-written list a dictionary reads right,
// MeCab with the IPA dictionary (what the program uses) against KAKASI when it was found
// at build time, and how long romaji and readings take per name.
//
//   marlo-name-readings [-v] [list.tsv]
//
// The list holds one name a line: family name, given name, family reading, given reading,
// separated by tabs; lines starting with '#' are comments. -v prints every misread name.

#include "interop/Romaji.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#ifdef MARLO_WITH_KAKASI
#include <unicode/unistr.h>
extern "C" {
#include <libkakasi.h> // a C header without its own extern "C"
}
#endif

namespace {

struct Name {
    QString family, given, familyReading, givenReading;
};

std::vector<Name> ReadList(const char* path) {
    std::vector<Name> names;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const QStringList fields = QString::fromStdString(line).split(u'\t');
        if (fields.size() != 4) {
            std::fprintf(stderr, "skipped (not four fields): %s\n", line.c_str());
            continue;
        }
        names.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    return names;
}

using Reader = std::function<QString(const QString&)>;

struct Score {
    int family = 0, given = 0, both = 0, whole = 0;
};

Score Evaluate(const char* label, const Reader& read, const std::vector<Name>& names, bool verbose) {
    Score score;
    for (const Name& name : names) {
        const QString family = read(name.family);
        const QString given = read(name.given);
        const QString whole = read(name.family + name.given);
        score.family += family == name.familyReading;
        score.given += given == name.givenReading;
        score.both += family == name.familyReading && given == name.givenReading;
        score.whole += whole == name.familyReading + name.givenReading;
        if (verbose && (family != name.familyReading || given != name.givenReading ||
                        whole != name.familyReading + name.givenReading)) {
            std::printf("  %s %s%s: %s %s / %s (expected %s %s)\n", label, qPrintable(name.family),
                        qPrintable(name.given), qPrintable(family.isEmpty() ? QStringLiteral("-") : family),
                        qPrintable(given.isEmpty() ? QStringLiteral("-") : given),
                        qPrintable(whole.isEmpty() ? QStringLiteral("-") : whole), qPrintable(name.familyReading),
                        qPrintable(name.givenReading));
        }
    }
    return score;
}

void PrintScore(const char* label, const Score& score, size_t count) {
    const auto share = [count](int n) { return 100.0 * n / static_cast<double>(count); };
    std::printf("%-8s family %5.1f%%  given %5.1f%%  both parts %5.1f%%  full name as one string %5.1f%%\n", label,
                share(score.family), share(score.given), share(score.both), share(score.whole));
}

#ifdef MARLO_WITH_KAKASI
// KAKASI keeps its state in globals: one reader for the whole program. Its library
// reads and writes EUC-JP only (the command's -iutf8 is the command's own). A kanji it
// cannot read stays in its output, which counts as no reading.
QString KakasiReading(const QString& text) {
    static const bool ready = [] {
        const char* arguments[] = {"kakasi", "-ieuc", "-oeuc", "-JK", "-HK"};
        return kakasi_getopt_argv(5, const_cast<char**>(arguments)) == 0;
    }();
    if (!ready)
        return {};
    const icu::UnicodeString unicode(reinterpret_cast<const UChar*>(text.utf16()), static_cast<int32_t>(text.size()));
    std::string euc(static_cast<size_t>(unicode.length()) * 4 + 1, '\0');
    const int32_t length =
        unicode.extract(0, unicode.length(), euc.data(), static_cast<uint32_t>(euc.size()), "EUC-JP");
    euc.resize(static_cast<size_t>(length));
    char* out = kakasi_do(euc.data());
    if (!out)
        return {};
    const icu::UnicodeString converted(out, static_cast<int32_t>(std::strlen(out)), "EUC-JP");
    kakasi_free(out);
    const QString reading(reinterpret_cast<const QChar*>(converted.getBuffer()), converted.length());
    for (const QChar c : reading) {
        if (c.script() == QChar::Script_Han)
            return {};
    }
    return reading;
}
#endif

template <typename F> double MicrosecondsEach(size_t count, F&& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / static_cast<double>(count);
}

} // namespace

int main(int argc, char** argv) {
    bool verbose = false;
    const char* path = MARLO_NAME_READINGS;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else
            path = argv[i];
    }
    const std::vector<Name> names = ReadList(path);
    if (names.empty()) {
        std::fprintf(stderr, "no names in %s\n", path);
        return 1;
    }
    std::printf("%zu names from %s\n", names.size(), path);

    const NameReadings mecab;
    if (mecab.Available()) {
        const Score score = Evaluate(
            "MeCab", [&mecab](const QString& text) { return mecab.ReadingOf(text); }, names, verbose);
        PrintScore("MeCab", score, names.size());
    } else {
        std::printf("MeCab    no UTF-8 IPA dictionary found\n");
    }
#ifdef MARLO_WITH_KAKASI
    PrintScore("KAKASI", Evaluate("KAKASI", KakasiReading, names, verbose), names.size());
#else
    std::printf("KAKASI   not found at build time (libkakasi2-dev)\n");
#endif

    // Speed over 100,000 names: the list's readings and names over and over.
    constexpr size_t kCount = 100000;
    std::vector<QString> readings, fullNames;
    for (size_t i = 0; i < kCount; ++i) {
        const Name& name = names[i % names.size()];
        readings.push_back(name.familyReading + u' ' + name.givenReading);
        fullNames.push_back(name.family + u' ' + name.given);
    }
    size_t bytes = 0;
    const double romaji = MicrosecondsEach(kCount, [&] {
        for (const QString& reading : readings)
            bytes += RomajiFromReading(reading).size();
    });
    std::printf("RomajiFromReading: %.2f us per name (%zu names, %zu bytes)\n", romaji, kCount, bytes);
    if (mecab.Available()) {
        size_t read = 0;
        const double reading = MicrosecondsEach(kCount, [&] {
            for (const QString& name : fullNames)
                read += !mecab.ReadingOf(name).isEmpty();
        });
        std::printf("NameReadings::ReadingOf: %.2f us per name (%zu of %zu read)\n", reading, read, kCount);
    }
    return 0;
}
