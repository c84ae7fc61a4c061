#include "core/encoding/alphabets.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <vector>

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

// Each letter's cost in each language of a script, looked up once.
class LetterCosts
{
public:
    explicit LetterCosts(const QList<Alphabet> &alphabets)
        : m_languages(size_t(alphabets.size()))
        , m_missing(m_languages, missingLetterCost)
    {
        for (const Alphabet &alphabet : alphabets) {
            for (const QChar letter : QString(alphabet.common + alphabet.rare)) {
                if (m_costs.contains(letter))
                    continue;
                std::vector<double> &costs = m_costs[letter];
                for (const Alphabet &each : alphabets)
                    costs.push_back(letterCost(each, letter));
            }
        }
    }

    [[nodiscard]] size_t languages() const { return m_languages; }
    [[nodiscard]] const std::vector<double> &of(QChar letter) const
    {
        const auto known = m_costs.constFind(letter);
        return known == m_costs.cend() ? m_missing : *known;
    }

private:
    size_t m_languages;
    std::vector<double> m_missing;
    QHash<QChar, std::vector<double>> m_costs;
};

double misfit(const QString &letters, const LetterCosts &table, Languages languages)
{
    if (letters.isEmpty())
        return 0;
    std::vector<const std::vector<double> *> costs;
    std::vector<double> alone(table.languages(), 0);
    for (const QChar letter : letters) {
        costs.push_back(&table.of(letter));
        for (size_t language = 0; language < alone.size(); ++language)
            alone[language] += (*costs.back())[language];
    }
    double best = *std::min_element(alone.cbegin(), alone.cend());
    if (languages == Languages::One || best <= secondLanguageCost)
        return best;
    for (size_t first = 0; first < alone.size(); ++first) {
        for (size_t second = first + 1; second < alone.size(); ++second) {
            double pair = secondLanguageCost;
            for (const std::vector<double> *cost : costs)
                pair += std::min((*cost)[first], (*cost)[second]);
            best = std::min(best, pair);
        }
    }
    return best;
}

} // namespace

double latinMisfit(const QString &letters, Languages languages)
{
    static const LetterCosts table(latinAlphabets());
    return misfit(letters, table, languages);
}

double cyrillicMisfit(const QString &letters, Languages languages)
{
    static const LetterCosts table(cyrillicAlphabets());
    return misfit(letters, table, languages);
}

} // namespace velvane
