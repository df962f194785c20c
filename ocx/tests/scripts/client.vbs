' VBScript client of the registered control (cscript //nologo client.vbs). Prints one
' line per call and "SCRIPT OK" at the end; an error ends with "SCRIPT FAILED", exit 1.
On Error Resume Next
Sub Fail(what)
  WScript.Echo "SCRIPT FAILED: " & what & " (" & Err.Number & " " & Err.Description & ")"
  WScript.Quit 1
End Sub
Dim o
Set o = CreateObject("OCUVANT.OcuvantCtrl.1")
If Err.Number <> 0 Then Fail "CreateObject"
o.MatchIrisTimeout = 12
WScript.Echo "MatchIrisTimeout = " & o.MatchIrisTimeout
o.Burger = "{""with_big_iris"":""1""}"
WScript.Echo "EnumCameras(1) = " & o.EnumCameras(1)
WScript.Echo "InitIris = " & o.InitIris()
WScript.Echo "GetEnrollIrisQuality = " & o.GetEnrollIrisQuality()
WScript.Echo "CheckDevStatus = " & o.CheckDevStatus()
WScript.Echo "CloseIris = " & o.CloseIris()
If Err.Number <> 0 Then Fail "calls"
' A VBScript array (SAFEARRAY of VARIANT) as the Big database: one zero template.
Dim db(127), i
For i = 0 To 127
  db(i) = 0
Next
WScript.Echo "MatchIris(array) = " & o.MatchIris(Null, 0, db, 1, Null, 0, 0, 0)
If Err.Number <> 0 Then Fail "MatchIris"
If o.MatchIrisTimeout <> 12 Then Fail "MatchIrisTimeout"
WScript.Echo "SCRIPT OK"
