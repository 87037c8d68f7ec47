' Creates every class by ProgID and checks where it came from, as a script author on the
' installed system would. Prepended with the harness by scripts/run-vbs.
' Usage: classes.vbs present <folder> <ProgID>...   every class is created, and its versioned
'                                                   ProgID and class key name a library in <folder>
'        classes.vbs absent <ProgID>...            no class can be created, no ProgID key is left
Dim gone, args, mode, folder, first, i, progid, obj, shell, clsid, server, curver
Set args = WScript.Arguments
Set shell = CreateObject("WScript.Shell")
mode = args(0)
If mode = "present" Then
  folder = LCase(args(1))
  first = 2
Else
  first = 1
End If
Check args.Count > first, "ProgIDs given"

For i = first To args.Count - 1
  progid = args(i)
  Set obj = Nothing
  Set obj = CreateObject(progid)
  If mode = "present" Then
    Check IsObject(obj) And Not obj Is Nothing, "CreateObject(""" & progid & """)"
    clsid = shell.RegRead("HKCR\" & progid & "\CLSID\")
    Check Len(clsid) = 38, progid & "\CLSID"
    curver = shell.RegRead("HKCR\" & progid & "\CurVer\")
    Check curver = progid & ".1", progid & "\CurVer is " & curver
    Check shell.RegRead("HKCR\" & curver & "\CLSID\") = clsid, curver & "\CLSID"
    server = LCase(shell.RegRead("HKCR\CLSID\" & clsid & "\InprocServer32\"))
    Check Left(server, Len(folder)) = folder And InStr(Len(folder) + 1, server, "\") = 0, _
          progid & " served from " & server & ", not from " & folder
    Check shell.RegRead("HKCR\CLSID\" & clsid & "\ProgID\") = curver, "CLSID\" & clsid & "\ProgID"
  Else
    CheckError 429, "CreateObject(""" & progid & """) after removal"
    shell.RegRead "HKCR\" & progid & "\"
    gone = Err.Number <> 0
    Err.Clear
    Check gone, progid & " key still present"
  End If
  Set obj = Nothing
Next
Finish
