// The fuzz dictionary of command strings against winmm's command tables: the
// fuzzer knows every word the parser knows, and no word is in the dictionary's
// vocabulary that the parser would not take.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "test_support.h"
#include "winmm/commands.h"

namespace {
// Every verb, keyword and named argument of the tables.
std::set<std::string> TableWords() {
    std::set<std::string> words;
    const auto addKeywords = [&](std::span<const winshim::MciKeyword> keywords) {
        for (const winshim::MciKeyword& keyword : keywords) {
            words.insert(keyword.words);
            for (const winshim::MciConstant& constant : keyword.constants) words.insert(constant.name);
        }
    };
    addKeywords(winshim::MCI_CommonKeywords());
    for (const winshim::MciVerb& verb : winshim::MCI_Verbs()) {
        words.insert(verb.name);
        addKeywords(verb.keywords);
    }
    return words;
}

// One entry of a libFuzzer dictionary: "text" with \xNN, \" and \\ escapes.
std::string Unquote(const std::string& line) {
    std::string text;
    for (size_t i = 1; i + 1 < line.size(); ++i) {
        if (line[i] != '\\') {
            text += line[i];
        } else if (line[i + 1] == 'x') {
            text += char(std::stoi(line.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            text += line[++i];
        }
    }
    return text;
}

struct Dictionary {
    std::set<std::string> vocabulary;  // the entries before the comment that starts "Not in the command tables"
    std::set<std::string> other;       // and those after it
};

Dictionary ReadDictionary() {
    Dictionary dict;
    std::istringstream in(testsupport::readFile(MCI_DICT));
    std::set<std::string>* section = &dict.vocabulary;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("# Not in the command tables", 0) == 0) section = &dict.other;
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"') section->insert(Unquote(line));
    }
    return dict;
}

TEST(MciVocabulary, DictionaryHoldsEveryWordOfTheTables) {
    const Dictionary dict = ReadDictionary();
    ASSERT_FALSE(dict.vocabulary.empty()) << "no entries read from " << MCI_DICT;
    for (const std::string& word : TableWords()) EXPECT_TRUE(dict.vocabulary.count(word)) << "missing: " << word;
}

TEST(MciVocabulary, DictionaryVocabularyIsTheTables) {
    const Dictionary dict = ReadDictionary();
    const std::set<std::string> words = TableWords();
    for (const std::string& entry : dict.vocabulary)
        EXPECT_TRUE(words.count(entry)) << "'" << entry << "' is no word of the command tables";
    for (const std::string& entry : dict.other)
        EXPECT_FALSE(words.count(entry)) << "'" << entry << "' is a word of the tables, listed as one that is not";
    EXPECT_FALSE(dict.other.empty()) << "device names and lexical characters are missing";
}
}  // namespace
