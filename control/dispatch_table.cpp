#include "control/dispatch_table.h"

#include <algorithm>
#include <array>

#include "control/dispatch_signature.h"
#include "control/events.h"
#include "control/ocuvant_ctrl.h"

namespace ocuvant::control {
namespace {

using C = COcuvantCtrl;
using E = EventSink;
using detail::Event;
using detail::Method;
using detail::Property;

constexpr DispatchEntry kTable[] = {
    // Properties of _DOcuvant.
    Property<&C::GetStringMode, &C::SetStringMode>(1, "StringMode"),
    Property<&C::GetCameraIDIris, &C::SetCameraIDIris>(2, "CameraIDIris"),
    Property<&C::GetEnableVoice, &C::SetEnableVoice>(3, "EnableVoice"),
    Property<&C::GetEnrollIrisTimeout, &C::SetEnrollIrisTimeout>(4, "EnrollIrisTimeout"),
    Property<&C::GetMatchIrisTimeout, &C::SetMatchIrisTimeout>(5, "MatchIrisTimeout"),
    Property<&C::GetCameraIDVisible, &C::SetCameraIDVisible>(6, "CameraIDVisible"),
    Property<&C::GetCameraIDInfrared, &C::SetCameraIDInfrared>(7, "CameraIDInfrared"),
    Property<&C::GetBurger, &C::SetBurger>(8, "Burger"),
    // Methods of _DOcuvant.
    Method<&C::EnumCameras>(9, "EnumCameras", "Format"),
    Method<&C::InitIris>(10, "InitIris", ""),
    Method<&C::EnrollBothIris>(11, "EnrollBothIris", ""),
    Method<&C::StopIris>(12, "StopIris", ""),
    Method<&C::CloseIris>(13, "CloseIris", ""),
    Method<&C::CaptureIrisImage>(14, "CaptureIrisImage", "sImageFile"),
    Method<&C::InitCaptureIris>(15, "InitCaptureIris", ""),
    Method<&C::CheckDevStatus>(16, "CheckDevStatus", ""),
    Method<&C::GetEnrollIrisQuality>(17, "GetEnrollIrisQuality", ""),
    Method<&C::EnrollLeftIris>(18, "EnrollLeftIris", ""),
    Method<&C::EnrollRightIris>(19, "EnrollRightIris", ""),
    Method<&C::MatchIris>(
        20, "MatchIris",
        "IrisDatabaseSmall,IrisDatabaseSmall_Count,IrisDatabaseBig,"
        "IrisDatabaseBig_Count,IrisDatabaseQ5,IrisDatabaseQ5_Count,Mode,Interval"),
    Method<&C::InitBkPhotoCapture>(21, "InitBkPhotoCapture", "CameraKind"),
    Method<&C::CloseBkPhotoCapture>(22, "CloseBkPhotoCapture", ""),
    Method<&C::StopBkPhotoCapture>(23, "StopBkPhotoCapture", ""),
    Method<&C::GetMatchIrisQuality>(24, "GetMatchIrisQuality", ""),
    Method<&C::SetEnrollIrisQuality>(25, "SetEnrollIrisQuality",
                                     "IrisKind,Texture,VisualDegree,Gaze,Focus,Movement"),
    Method<&C::SetMatchIrisQuality>(26, "SetMatchIrisQuality",
                                    "IrisKind,Texture,VisualDegree,Gaze,Focus,Movement"),
    Method<&C::InitPhotoCapture>(27, "InitPhotoCapture", "CameraKind"),
    Method<&C::PhotoCapture>(28, "PhotoCapture", "CaptureKind,ImageFile"),
    Method<&C::ClosePhotoCapture>(29, "ClosePhotoCapture", ""),
    Method<&C::InitInfraredFace>(30, "InitInfraredFace", ""),
    Method<&C::EnrollInfraredFace>(31, "EnrollInfraredFace", ""),
    Method<&C::CloseInfraredFace>(32, "CloseInfraredFace", ""),
    Method<&C::SetCameraParams>(35, "SetCameraParams", "CameraKind,CameraParams"),
    Method<&C::GetVersion>(36, "GetVersion", ""),
    Method<&C::AboutBox>(-552, "AboutBox", ""),
    // Events of _DOcuvantEvents.
    Event<&E::LogInfo>(1, "LogInfo", "Tag,Log"),
    Event<&E::EnrollBothIrisEvent>(2, "EnrollBothIrisEvent",
                                   "IrisLeft_Small,IrisRight_Small,IrisLeft_Big,IrisRight_Big,"
                                   "IrisLeft_Q5,IrisRight_Q5,EnrollResult"),
    Event<&E::EnrollLeftIrisEvent>(3, "EnrollLeftIrisEvent",
                                   "IrisLeft_Small,IrisLeft_Big,IrisLeft_Q5,EnrollResult"),
    Event<&E::EnrollRightIrisEvent>(4, "EnrollRightIrisEvent",
                                    "IrisRight_Small,IrisRight_Big,IrisRight_Q5,EnrollResult"),
    Event<&E::MatchIrisEvent>(5, "MatchIrisEvent",
                              "MatchIndex_Small,MatchIndex_Big,MatchIndex_Q5,MatchResult"),
    Event<&E::PhotoCaptureEvent>(6, "PhotoCaptureEvent", "CaptureKind,ImageFile"),
    Event<&E::EnrollBothIrisStrEvent>(7, "EnrollBothIrisStrEvent",
                                      "sIrisLeft_Small,sIrisRight_Small,sIrisLeft_Big,"
                                      "sIrisRight_Big,sIrisLeft_Q5,sIrisRight_Q5,EnrollResult"),
    Event<&E::EnrollLeftIrisStrEvent>(8, "EnrollLeftIrisStrEvent",
                                      "sIrisLeft_Small,sIrisLeft_Big,sIrisLeft_Q5,EnrollResult"),
    Event<&E::EnrollRightIrisStrEvent>(
        9, "EnrollRightIrisStrEvent", "sIrisRight_Small,sIrisRight_Big,sIrisRight_Q5,EnrollResult"),
    Event<&E::CloseCameraEvent>(10, "CloseCameraEvent", "CameraKind,CloseResult"),
    Event<&E::InitCameraEvent>(11, "InitCameraEvent", "CameraKind,InitResult"),
};

template <typename Match>
const DispatchEntry* Find(bool events, Match match) {
  auto it = std::find_if(std::begin(kTable), std::end(kTable), [&](const DispatchEntry& e) {
    return (e.kind == MemberKind::Event) == events && match(e);
  });
  return it == std::end(kTable) ? nullptr : &*it;
}

}  // namespace

std::span<const DispatchEntry> DispatchTable() {
  return kTable;
}

const DispatchEntry* FindMember(int32_t dispid) {
  return Find(false, [&](const DispatchEntry& e) { return e.dispid == dispid; });
}
const DispatchEntry* FindMember(std::string_view name) {
  return Find(false, [&](const DispatchEntry& e) { return name == e.name; });
}
const DispatchEntry* FindEvent(int32_t dispid) {
  return Find(true, [&](const DispatchEntry& e) { return e.dispid == dispid; });
}
const DispatchEntry* FindEvent(std::string_view name) {
  return Find(true, [&](const DispatchEntry& e) { return name == e.name; });
}

}  // namespace ocuvant::control
