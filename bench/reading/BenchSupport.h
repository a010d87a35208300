// What the reading benchmarks share: boxes that are counted and printed instead of waiting for a
// user, and the seconds of a resource usage time.
#pragma once

#include <sys/time.h>

#include <iostream>
#include <optional>
#include <string>

#include "forms/Dialogs.h"

class TFailingDialogs : public TDialogs {
 public:
  int Boxes = 0;
  TBoxButton MessageBox(const TBoxRequest& Request) override {
    ++Boxes;
    std::cerr << "box: " << Request.Text << "\n";
    return TBoxButton::OK;
  }
  std::optional<std::string> SaveFileName(const TSaveRequest&) override { return std::nullopt; }
};

inline double Seconds(const timeval& Time) { return static_cast<double>(Time.tv_sec) + Time.tv_usec / 1e6; }
