#include "core/encoding/alphabets.h"

#include <QList>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr double rareLetterCost = 1.0;
constexpr double missingLetterCost = 3.0;
constexpr double secondLanguageCost = 2;

struct Alphabet
{
    QString common;
    QString rare;
};

// Letters beyond ASCII; "rare" holds those found mostly in loan words and names, or in old spellings.
const QList<Alphabet> &latinAlphabets()
{
    static const QList<Alphabet> alphabets{
        {u"éèàçêôâîùûëïœ"_s, u"üÿæ"_s},  // French
        {u"äöüß"_s, u"éèàç"_s},          // German
        {u"áéíóúñ"_s, u"ü"_s},           // Spanish
        {u"áâãàçéêíóôõú"_s, u"ü"_s},     // Portuguese
        {u"àèéìòù"_s, u"íóî"_s},         // Italian
        {u"àèéíïòóúüç"_s, u""_s},        // Catalan
        {u"áðéíóúýþæö"_s, u""_s},        // Icelandic
        {u"æøå"_s, u"éóäöü"_s},          // Danish, Norwegian
        {u"åäö"_s, u"éü"_s},             // Swedish
        {u"äö"_s, u"åšž"_s},             // Finnish
        {u"éëï"_s, u"èöüáóú"_s},         // Dutch
        {u"ąćęłńóśźż"_s, u""_s},         // Polish
        {u"áčďéěíňóřšťúůýž"_s, u""_s},   // Czech
        {u"áäčďéíľňóôšťúýž"_s, u"ĺŕ"_s}, // Slovak
        {u"áéíóöőúüű"_s, u""_s},         // Hungarian
        {u"čšž"_s, u"ćđ"_s},             // Slovene
        {u"čćđšž"_s, u""_s},             // Croatian, Bosnian, Serbian
        {u"ăâîșțşţ"_s, u""_s},           // Romanian
        {u"çğıöşü"_s, u"âîû"_s},         // Turkish
        {u"ąčęėįšųūž"_s, u""_s},         // Lithuanian
        {u"āčēģīķļņšūž"_s, u"ōŗ"_s},     // Latvian
        {u"äöõüšž"_s, u""_s},            // Estonian
        {u"çë"_s, u""_s},                // Albanian
        {u"ċġħżàèìòù"_s, u""_s},         // Maltese
        {u"âêîôûŵŷ"_s, u"áéï"_s},        // Welsh
        {u"áéíóú"_s, u"àèìòù"_s},        // Irish
    };
    return alphabets;
}

const QList<Alphabet> &cyrillicAlphabets()
{
    static const QList<Alphabet> alphabets{
        {u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя"_s, u""_s}, // Russian
        {u"абвгґдеєжзиіїйклмнопрстуфхцчшщьюя"_s, u""_s}, // Ukrainian
        {u"абвгдеёжзійклмнопрстуўфхцчшыьэюя"_s, u""_s},  // Belarusian
        {u"абвгдежзийклмнопрстуфхцчшщъьюя"_s, u"ѝ"_s},   // Bulgarian
        {u"абвгдђежзијклљмнњопрстћуфхцчџш"_s, u""_s},    // Serbian
        {u"абвгдѓежзѕијклљмнњопрстќуфхцчџш"_s, u""_s},   // Macedonian
    };
    return alphabets;
}

double letterCost(const Alphabet &alphabet, QChar letter)
{
    if (alphabet.common.contains(letter))
        return 0;
    return alphabet.rare.contains(letter) ? rareLetterCost : missingLetterCost;
}

double misfit(const QString &letters, const QList<Alphabet> &alphabets, Languages languages)
{
    if (letters.isEmpty())
        return 0;
    double best = std::numeric_limits<double>::max();
    for (qsizetype first = 0; first < alphabets.size(); ++first) {
        double alone = 0;
        for (const QChar letter : letters)
            alone += letterCost(alphabets[first], letter);
        best = std::min(best, alone);
        for (qsizetype second = first + 1; languages == Languages::UpToTwo && second < alphabets.size(); ++second) {
            double pair = secondLanguageCost;
            for (const QChar letter : letters)
                pair += std::min(letterCost(alphabets[first], letter), letterCost(alphabets[second], letter));
            best = std::min(best, pair);
        }
    }
    return best;
}

} // namespace

double latinMisfit(const QString &letters, Languages languages)
{
    return misfit(letters, latinAlphabets(), languages);
}

double cyrillicMisfit(const QString &letters, Languages languages)
{
    return misfit(letters, cyrillicAlphabets(), languages);
}

} // namespace velvane
