// A text that one thread may replace while others read it: a reader sees the old or the new
// text whole, never a mix.
#pragma once

#include <mutex>
#include <string>

class shared_text {
  public:
    shared_text() = default;
    explicit shared_text(std::string initial) : text_(std::move(initial)) {}
    std::string get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }
    void set(std::string text) {
        std::lock_guard<std::mutex> lock(mutex_);
        text_ = std::move(text);
    }

  private:
    mutable std::mutex mutex_;
    std::string text_;
};
