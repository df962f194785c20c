// JScript client of the registered control (cscript //nologo client.js). Prints one line
// per call and "SCRIPT OK" at the end; any error ends with "SCRIPT FAILED" and exit 1.
// Wine's script host delivers no events (no WScript.ConnectObject): the C++ client covers them.
function show(name, value) { WScript.Echo(name + " = " + value); }
try {
  var o = new ActiveXObject("OCUVANT.OcuvantCtrl.1");
  o.EnrollIrisTimeout = "25";
  show("EnrollIrisTimeout", o.EnrollIrisTimeout);
  o.CameraIDIris = "\\usb#vid_0c45&pid_6366";
  show("CameraIDIris", o.CameraIDIris);
  o.Burger = '{"with_big_iris":"1"}';
  show("EnumCameras(0)", o.EnumCameras(0));
  show("InitIris", o.InitIris());
  show("GetEnrollIrisQuality", o.GetEnrollIrisQuality());
  show("CheckDevStatus", o.CheckDevStatus());
  show("CloseIris", o.CloseIris());
  // A database as a script array: too short for its count, so the call is refused.
  var refused = false;
  try { o.MatchIris(null, 0, [1, 2, 3], 1, null, 0, 0, 0); } catch (e) { refused = true; }
  show("MatchIris with a short array refused", refused);
  if (o.EnrollIrisTimeout != 25) throw new Error("EnrollIrisTimeout not coerced");
  WScript.Echo("SCRIPT OK");
} catch (e) {
  WScript.Echo("SCRIPT FAILED: " + e.message + " (" + e.number + ")");
  WScript.Quit(1);
}
