' Prepended to every script test by scripts/run-vbs. Wine's script host exits 0 on a runtime
' error, so each test goes on after a failing step, prints one FAIL line per failure and ends
' with Finish, which prints the closing count and quits with the number of failures.
Option Explicit
On Error Resume Next

Dim passed, failed
passed = 0 : failed = 0

Sub Check(ok, what)
  If Err.Number <> 0 Then
    WScript.Echo "FAIL " & what & " (error " & Hex(Err.Number) & ": " & Err.Description & ")"
    failed = failed + 1
    Err.Clear
  ElseIf ok Then
    passed = passed + 1
  Else
    WScript.Echo "FAIL " & what
    failed = failed + 1
  End If
End Sub

' Runs after a step that is meant to fail: checks its error number and clears it.
Sub CheckError(expected, what)
  Dim got
  got = Err.Number
  Err.Clear
  If got = expected Then
    passed = passed + 1
  Else
    WScript.Echo "FAIL " & what & " (error " & Hex(got) & ", expected " & Hex(expected) & ")"
    failed = failed + 1
  End If
End Sub

Sub Finish()
  WScript.Echo passed & " passed, " & failed & " failed"
  WScript.Quit failed
End Sub
