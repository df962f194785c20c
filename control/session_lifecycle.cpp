#include "control/session_lifecycle.h"

#include "control/ocuvant_ctrl.h"

namespace ocuvant::control {

namespace {

using S = IrisState;

struct Transition {
  IrisState from, to;
};

// The table of session_lifecycle.h, row by row.
constexpr Transition kTransitions[] = {
    {S::NoCamera, S::Open},    {S::NoCamera, S::Closing},   {S::Open, S::Armed},
    {S::Open, S::Closing},     {S::Armed, S::Open},         {S::Armed, S::BetweenSteps},
    {S::Armed, S::Closing},    {S::BetweenSteps, S::Armed}, {S::BetweenSteps, S::Closing},
    {S::Closing, S::NoCamera}, {S::Closing, S::Open},
};

}  // namespace

IrisState IrisStateOf(COcuvantCtrl& c) {
  if (c.IrisClosing()) return S::Closing;
  if (c.m_sessionMode.load() != ModeIdle) return S::Armed;
  if (!c.m_irisOpen) return S::NoCamera;
  return c.m_enrollStep.load() == 1 ? S::BetweenSteps : S::Open;
}

bool IrisTransitionLegal(IrisState from, IrisState to) {
  if (from == to) return true;
  for (const Transition& t : kTransitions) {
    if (t.from == from && t.to == to) return true;
  }
  return false;
}

bool IrisStateReachable(IrisState from, IrisState to) {
  bool seen[kIrisStateCount] = {};
  seen[static_cast<int32_t>(from)] = true;
  for (bool grew = true; grew;) {  // closure over the table
    grew = false;
    for (const Transition& t : kTransitions) {
      if (seen[static_cast<int32_t>(t.from)] && !seen[static_cast<int32_t>(t.to)]) {
        seen[static_cast<int32_t>(t.to)] = grew = true;
      }
    }
  }
  return seen[static_cast<int32_t>(to)];
}

const char* IrisStateName(IrisState state) {
  static constexpr const char* kNames[kIrisStateCount] = {"NoCamera", "Open", "Armed",
                                                          "BetweenSteps", "Closing"};
  const auto i = static_cast<int32_t>(state);
  return i >= 0 && i < kIrisStateCount ? kNames[i] : "?";
}

}  // namespace ocuvant::control
