// A DialogService for tests: records every message and answers prompts and choosers from a
// script. A dialog the script did not expect fails the test.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DialogService.h"

class ScriptedDialogs : public DialogService {
 public:
  struct Message {
    std::string text;
    std::string title;
    Icon icon;
  };

  ~ScriptedDialogs() override {
    EXPECT_TRUE(prompts_.empty()) << "scripted prompt answers left unused";
    EXPECT_TRUE(files_.empty()) << "scripted open-file answers left unused";
    EXPECT_TRUE(folders_.empty()) << "scripted folder answers left unused";
  }

  // Queue the answer of the next prompt, open-file dialog or folder chooser.
  void AnswerPrompt(std::string answer) { prompts_.push_back(std::move(answer)); }
  void AnswerOpenFile(std::string path) { files_.push_back(std::move(path)); }
  void AnswerChooseFolder(std::string path) { folders_.push_back(std::move(path)); }

  // Runs while a message box is "open", before it is dismissed.
  std::function<void(const Message&)> onMessage;

  // Every message box shown, in order.
  std::vector<Message> messages;
  // Every prompt shown: prompt text, title and default text.
  std::vector<std::vector<std::string>> prompts;
  // Every open-file dialog shown: title and filter.
  std::vector<std::vector<std::string>> fileDialogs;
  // The folder every folder chooser opened at.
  std::vector<std::string> chooserStarts;

  // The texts of the messages shown so far.
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const Message& message : messages) texts.push_back(message.text);
    return texts;
  }

  void ShowMessage(const std::string& text, const std::string& title, Icon icon) override {
    messages.push_back({text, title, icon});
    if (onMessage) onMessage(messages.back());
  }

  std::string Prompt(const std::string& prompt, const std::string& title,
                     const std::string& defaultText) override {
    prompts.push_back({prompt, title, defaultText});
    return Next(prompts_, "prompt \"" + prompt + "\"");
  }

  std::string OpenFile(const std::string& title, const std::string& filter) override {
    fileDialogs.push_back({title, filter});
    return Next(files_, "open-file dialog \"" + title + "\"");
  }

  std::string ChooseFolder(const std::string& prompt, const std::string& startFolder) override {
    chooserStarts.push_back(startFolder);
    return Next(folders_, "folder chooser \"" + prompt + "\"");
  }

 private:
  static std::string Next(std::deque<std::string>& answers, const std::string& what) {
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected " << what;
      return {};
    }
    std::string answer = std::move(answers.front());
    answers.pop_front();
    return answer;
  }

  std::deque<std::string> prompts_;
  std::deque<std::string> files_;
  std::deque<std::string> folders_;
};
