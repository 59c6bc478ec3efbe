#include "meanings.h"

namespace ostrel::methods_doc {
namespace {

std::string trimmed(const std::string& text) {
  size_t begin = text.find_first_not_of(" \n");
  if (begin == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \n");
  return text.substr(begin, end - begin + 1);
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Reads the file line by line; `current` is the item that continuation
// lines extend.
class Parser {
 public:
  Meanings run(std::string_view text) {
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(pos, end - pos);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++lineNumber_;
      readLine(line);
      pos = end + 1;
    }
    finish();
    return std::move(out_);
  }

 private:
  void problem(const std::string& what) { out_.problems.push_back("line " + std::to_string(lineNumber_) + ": " + what); }

  void readLine(std::string_view line) {
    if (startsWith(line, "#")) return;
    if (line.find_first_not_of(' ') == std::string_view::npos) {
      if (current_) *current_ += "\n";
      return;
    }
    if (startsWith(line, "  ")) {
      if (!current_) return problem("text outside an entry");
      *current_ += std::string(line.substr(2)) + "\n";
      return;
    }
    readHeader(line);
  }

  void readHeader(std::string_view line) {
    if (line == "intro") {
      finish();
      current_ = &out_.intro;
    } else if (startsWith(line, "method ")) {
      finish();
      out_.methods.emplace_back();
      method_ = &out_.methods.back();
      method_->name = std::string(line.substr(7));
      method_->line = lineNumber_;
      current_ = &method_->summary;
    } else if (startsWith(line, "property ")) {
      finish();
      out_.properties.emplace_back();
      out_.properties.back().name = std::string(line.substr(9));
      out_.properties.back().line = lineNumber_;
      current_ = &out_.properties.back().text;
    } else {
      readKey(line);
    }
  }

  // "param NAME: text", "result: text", "reads: text", "fails: text".
  void readKey(std::string_view line) {
    size_t colon = line.find(':');
    if (!method_ || colon == std::string_view::npos) return problem("cannot read \"" + std::string(line) + "\"");
    std::string key(line.substr(0, colon));
    std::string first(line.substr(colon + 1));
    if (startsWith(key, "param ")) {
      method_->params.push_back({key.substr(6), ""});
      current_ = &method_->params.back().second;
    } else if (key == "result") {
      current_ = &method_->result;
    } else if (key == "reads") {
      current_ = &method_->reads;
    } else if (key == "fails") {
      current_ = &method_->fails;
    } else {
      return problem("unknown key \"" + key + "\"");
    }
    if (!current_->empty()) problem(key + " given twice");
    *current_ += first + "\n";
  }

  // Trims the texts of the entry that ends.
  void finish() {
    out_.intro = trimmed(out_.intro);
    if (method_) {
      for (std::string* text : {&method_->summary, &method_->result, &method_->reads, &method_->fails})
        *text = trimmed(*text);
      for (auto& param : method_->params) param.second = trimmed(param.second);
    }
    if (!out_.properties.empty()) out_.properties.back().text = trimmed(out_.properties.back().text);
    method_ = nullptr;
    current_ = nullptr;
  }

  Meanings out_;
  MethodMeaning* method_ = nullptr;
  std::string* current_ = nullptr;
  int lineNumber_ = 0;
};

}  // namespace

Meanings ParseMeanings(std::string_view text) { return Parser().run(text); }

}  // namespace ostrel::methods_doc
