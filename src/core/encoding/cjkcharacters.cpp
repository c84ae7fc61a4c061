#include "core/encoding/cjkcharacters.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <unicode/utrans.h>

#include <array>
#include <cstdint>
#include <iconv.h>
#include <vector>

namespace velvane {

namespace {

constexpr char32_t hanFirst = 0x4E00;
constexpr char32_t hanLast = 0x9FFF;
constexpr char32_t hangulFirst = 0xAC00;
constexpr char32_t hangulLast = 0xD7A3;

enum Flag : std::uint8_t
{
    SimplifiedFirst = 1,
    SimplifiedSecond = 2,
    TraditionalFirst = 4,
    TraditionalSecond = 8,
    JapaneseFirst = 16,
    JapaneseSecond = 32,
};

// The most frequent characters of Chinese text, and syllables of Korean, as written in song titles and names.
const char16_t *const frequentSimplified =
    u"的一是不了在人有我他这个们中来上大为和国地到以说时要就出会可也你对生能而子那得于着下自之年过发后作里用道行所然家"
    u"种事成方多经么去法学如都同现当没动面起看定天分还进好小部其些主样理心她本前开但因只从想实日军者意无力它与长把机十"
    u"民第公此已工使情明性知全三又关点正业外将两高间由问很最重并物手应战向头文体政美相见被利什二等产或新己制身果加西斯"
    u"月话合回特代内信表化老给世位次度门任常先海通教儿原东声提立及比员解水名真论处走义各入几口认条平系气题活尔更别打女"
    u"变四神总何电数安少报才结反受目太量再感建务做接必场件计管期市直德资命山金指克许统区保至队形社便空决治展马科司五基"
    u"眼书非则听白却界达光放强即像难且权思王象完设式色路记南品住告类求据程北边死张该交规万取拉格望觉术领共确传师观清今"
    u"切院让识候带导争运笑飞风步改收根干造言联持组每济车亲极林服快办议往元英士证近失转夫令准布始怎呢存未远叫台单影具罗"
    u"字爱击流备兵连调深商算质团集百需价花党华城石级整府离况亚请技际约示复病息究线似官火断精满支视消越器容照须九增研写"
    u"称企八功吗包片史委乎查轻易早曾除农找装广显吧阿李标谈吃图念六引历首医局突专费号尽另周较注语仅考落青随选列武红响虽"
    u"推势参希古众构房半节土投某案黑维革划敌致陈律足态护七兴派孩验责营星够章音跟志底站严巴例防族供效续施留讲型料终答紧"
    u"黄绝奇察母京段依批群项故按河米围江织害斗双境客纪采举杀攻父苏密低朝友诉止细愿千值梦泪恋雪忆吻窗灯街唱歌夜雨春夏秋"
    u"冬岛桥港乡醉愁伤痛忘悔恨缘跑云湖樱蓝绿银岁永昨晚晨午夕阳乐舞曲琴鼓滚旧醒睡甜丽温柔寂寞孤幸福微哭追逐勇敢承诺待宇"
    u"宙亮彩虹季景镇旅归途森草沙漠滩塔烟霞昏黎";
const char16_t *const frequentHangul =
    u"이다의는에고하가을지리기사로서도자대한정나인어수시니들일상아해전부게적주마우요라것구보있장화원성제면거과국스그경"
    u"소만무동계여비학세내조중개관없등생신방각물위되법공연선문유실말치오더식했분반입운발회모까데민러결당트음용심불르같"
    u"금현점안예바재날터를은와할두미진후알작드레람속산차명년처집영간통목노교단야히체달파초행강김박최손임송윤황밤별꿈눈"
    u"봄길빛너네랑래늘왜누저런록될려며께죠던큼럼테써든잖봐줘좋싫새침녁낮맘몸얼굴웃춤친엄빠형언루창꽃잎숲섬름둠억추움약"
    u"복슬픔외녕잘워싶씨끝막첫희";

struct Tables
{
    std::vector<std::uint8_t> han = std::vector<std::uint8_t>(hanLast - hanFirst + 1, 0);
    std::vector<bool> hangul = std::vector<bool>(hangulLast - hangulFirst + 1, false);
    QSet<char32_t> frequentSimplified;
    QSet<char32_t> frequentTraditional;
    QSet<char32_t> frequentHangul;
};

QSet<char32_t> setOf(const QString &characters)
{
    QSet<char32_t> set;
    for (const uint c : characters.toUcs4())
        set.insert(c);
    return set;
}

// ICU's own conversion gives the traditional forms, so the list is kept once.
QString traditional(const QString &simplified)
{
    UErrorCode status = U_ZERO_ERROR;
    UTransliterator *converter = utrans_openU(u"Hans-Hant", -1, UTRANS_FORWARD, nullptr, 0, nullptr, &status);
    if (U_FAILURE(status))
        return simplified;
    std::vector<UChar> text(simplified.utf16(), simplified.utf16() + simplified.size());
    text.resize(text.size() * 2);
    int32_t length = int32_t(simplified.size());
    int32_t limit = length;
    utrans_transUChars(converter, text.data(), &length, int32_t(text.size()), 0, &limit, &status);
    utrans_close(converter);
    return U_SUCCESS(status) ? QString(reinterpret_cast<const QChar *>(text.data()), length) : simplified;
}

// Calls mark(code point) for every two-byte cell of the given rows that the converter maps to one character.
// The sets are read from the C library's converters rather than kept as tables of our own.
template <typename Mark>
void forEachCell(const char *charset, int leadFrom, int leadTo, std::initializer_list<std::pair<int, int>> trails,
                 Mark mark)
{
    const iconv_t cd = iconv_open("UTF-32LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return;
    for (int lead = leadFrom; lead <= leadTo; ++lead) {
        for (const auto &[trailFrom, trailTo] : trails) {
            for (int trail = trailFrom; trail <= trailTo; ++trail) {
                std::array<char, 2> in{char(lead), char(trail)};
                std::array<char, 8> out{};
                char *inPtr = in.data();
                char *outPtr = out.data();
                size_t inLeft = in.size();
                size_t outLeft = out.size();
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || outLeft != 4)
                    continue;
                char32_t c = 0;
                for (int i = 3; i >= 0; --i)
                    c = (c << 8) | static_cast<unsigned char>(out[size_t(i)]);
                mark(c);
            }
        }
    }
    iconv_close(cd);
}

Tables makeTables()
{
    Tables tables;
    const auto hanFlag = [&tables](std::uint8_t flag) {
        return [&tables, flag](char32_t c) {
            if (c >= hanFirst && c <= hanLast)
                tables.han[c - hanFirst] |= flag;
        };
    };
    const std::initializer_list<std::pair<int, int>> euc{{0xA1, 0xFE}};
    const std::initializer_list<std::pair<int, int>> big5{{0x40, 0x7E}, {0xA1, 0xFE}};
    forEachCell("EUC-CN", 0xB0, 0xD7, euc, hanFlag(SimplifiedFirst));
    forEachCell("EUC-CN", 0xD8, 0xF7, euc, hanFlag(SimplifiedSecond));
    forEachCell("BIG5", 0xA4, 0xC6, big5, hanFlag(TraditionalFirst));
    forEachCell("BIG5", 0xC9, 0xF9, big5, hanFlag(TraditionalSecond));
    forEachCell("EUC-JP", 0xB0, 0xCF, euc, hanFlag(JapaneseFirst));
    forEachCell("EUC-JP", 0xD0, 0xF4, euc, hanFlag(JapaneseSecond));
    forEachCell("EUC-KR", 0xB0, 0xC8, euc, [&tables](char32_t c) {
        if (c >= hangulFirst && c <= hangulLast)
            tables.hangul[c - hangulFirst] = true;
    });
    const QString simplified = QString::fromUtf16(frequentSimplified);
    tables.frequentSimplified = setOf(simplified);
    tables.frequentTraditional = setOf(traditional(simplified));
    tables.frequentHangul = setOf(QString::fromUtf16(frequentHangul));
    return tables;
}

const Tables &tables()
{
    static const Tables built = makeTables();
    return built;
}

CharacterRank rank(std::uint8_t flags, std::uint8_t first, std::uint8_t second, bool frequent)
{
    if (flags & first)
        return frequent ? CharacterRank::Frequent : CharacterRank::First;
    return flags & second ? CharacterRank::Second : CharacterRank::Absent;
}

} // namespace

HanRanks hanRanks(char32_t c)
{
    if (c < hanFirst || c > hanLast)
        return {};
    const Tables &t = tables();
    const std::uint8_t flags = t.han[c - hanFirst];
    const bool simplified = t.frequentSimplified.contains(c);
    const bool traditional = t.frequentTraditional.contains(c);
    return {rank(flags, SimplifiedFirst, SimplifiedSecond, simplified),
            rank(flags, TraditionalFirst, TraditionalSecond, traditional),
            rank(flags, JapaneseFirst, JapaneseSecond, simplified || traditional)};
}

CharacterRank hangulRank(char32_t c)
{
    if (c < hangulFirst || c > hangulLast || !tables().hangul[c - hangulFirst])
        return CharacterRank::Absent;
    return tables().frequentHangul.contains(c) ? CharacterRank::Frequent : CharacterRank::First;
}

} // namespace velvane
