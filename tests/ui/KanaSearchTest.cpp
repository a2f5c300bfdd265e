// Kana in the search box: the rows of its romaji, over a generated phone book.

#include "UiTestUtil.h"

#include "app/MarloApp.h"
#ifdef MARLO_BOOKGEN
#include "bench/BookGenerator.h"
#endif
#include "interop/Romaji.h"
#include "platform/ui/ListCtrl.h"
#include "res/Resource.h"
#include "view/MarloView.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

#include <unicode/translit.h>

#include <memory>
#include <set>

namespace {

/// ICU's own romaji to kana, apart from the rules the program uses the other way.
QString Transliterate(const char16_t* id, const QString& text) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::Transliterator> t(
        icu::Transliterator::createInstance(icu::UnicodeString(id), UTRANS_FORWARD, status));
    if (U_FAILURE(status))
        throw std::runtime_error("no such ICU transliterator");
    icu::UnicodeString s(reinterpret_cast<const UChar*>(text.utf16()), static_cast<int32_t>(text.size()));
    t->transliterate(s);
    return QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length());
}

/// What the input method hands the box when the user confirms what was composed.
void Commit(QLineEdit& box, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(&box, &event);
}

/// The rows the list shows, all four texts.
QStringList Rows(const CListCtrl& list) {
    QStringList rows;
    for (int col = 0; col < 4; ++col)
        rows += Column(list, col);
    return rows;
}

} // namespace

class KanaSearchTest : public QObject {
    Q_OBJECT

private slots:
    void kanaListsTheRowsOfItsRomaji();
    void composingDoesNotSearch();
};

void KanaSearchTest::kanaListsTheRowsOfItsRomaji() {
#ifndef MARLO_BOOKGEN
    QSKIP("the book generator comes with the benchmarks (MARLO_BENCH)");
#else
    TempWorkDir dir;
    WriteBook(dir.Path(QStringLiteral("電話帳")), GenerateRecords(2000, 7));
    WriteFile(dir.Path(QStringLiteral("profile")), "40");
    RunningApp run;
    QVERIFY(run.Start());
    QLineEdit& box = *run.View().GetDlgItem<QLineEdit>(IDC_SEARCH);
    const CListCtrl& list = run.View().m_listCtrl;

    // Keys: the family names of the book and their beginnings, a few hundred of them.
    std::set<QString> candidates;
    for (const PhoneRecordView record : run.Doc().m_pData->m_list) {
        const QString family = QString::fromLatin1(record.m_strRomaji).section(QLatin1Char(' '), 0, 0);
        for (qsizetype n = 2; n <= family.size(); ++n)
            candidates.insert(family.left(n));
    }
    QStringList keys;
    std::size_t i = 0;
    for (const QString& key : candidates)
        if (i++ % 5 == 0)
            keys << key;
    int compared = 0, listed = 0;
    for (const QString& romaji : std::as_const(keys)) {
        const QString hiragana = Transliterate(u"Latin-Hiragana", romaji);
        // Only kana that read back as the same letters: ICU spells some differently ("ohno").
        if (RomajiFromReading(hiragana) != romaji.toStdString())
            continue;
        box.clear();
        QTest::keyClicks(&box, romaji);
        const QStringList expected = Rows(list);
        listed += !expected.isEmpty();
        const QString katakana = Transliterate(u"Hiragana-Katakana", hiragana);
        const qsizetype half = hiragana.size() / 2;
        const QString typed[] = {
            hiragana,
            katakana,
            Transliterate(u"Fullwidth-Halfwidth", katakana),
            // Romaji first, the rest in kana, as the input method went on halfway.
            QString::fromStdString(RomajiFromReading(hiragana.left(half))) + hiragana.mid(half),
        };
        for (const QString& text : typed) {
            box.clear();
            Commit(box, text);
            QCOMPARE(box.text(), text); // the box keeps what was typed
            QVERIFY2(Rows(list) == expected, qPrintable(text + QStringLiteral(" / ") + romaji));
        }
        ++compared;
    }
    QVERIFY2(compared > 150 && listed > compared / 2, qPrintable(QString::number(compared)));

    // Characters the romaji rules do not spell leave a key as typed: kanji are no romaji.
    box.clear();
    Commit(box, QStringLiteral("さと佐"));
    QCOMPARE(Column(list), QStringList{});
#endif
}

void KanaSearchTest::composingDoesNotSearch() {
    TempWorkDir dir;
    WriteBook(dir.Path(QStringLiteral("電話帳")), {Rec("sato"), Rec("satou"), Rec("suzuki")});
    RunningApp run;
    QVERIFY(run.Start());
    QLineEdit& box = *run.View().GetDlgItem<QLineEdit>(IDC_SEARCH);
    box.setFocus();
    QTest::keyClicks(&box, "su");
    QCOMPARE(Column(run.View().m_listCtrl), QStringList{"suzuki"});
    box.clear();
    // While the input method composes, the list stays as it was.
    QInputMethodEvent composing(QStringLiteral("さとう"), {});
    QApplication::sendEvent(&box, &composing);
    QCOMPARE(Column(run.View().m_listCtrl), QStringList{"suzuki"});
    QVERIFY(box.text().isEmpty());
    Commit(box, QStringLiteral("さとう"));
    QCOMPARE(Column(run.View().m_listCtrl), QStringList{"satou"});
    QCOMPARE(box.text(), QStringLiteral("さとう"));
}

std::unique_ptr<QObject> MakeKanaSearchTest() {
    return std::make_unique<KanaSearchTest>();
}

#include "KanaSearchTest.moc"
