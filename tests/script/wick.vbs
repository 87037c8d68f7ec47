' The wick classes as a script sees them: created by ProgID, called late-bound, and the log's
' onError event received by a script object through a real connection point.
' Check, CheckError and Finish come from support/harness.vbs (scripts/run-vbs puts it first).

' ---- zrDataConvertor: bytes are looked at as hexadecimal, as a script author would.
Dim conv, bin, text
Set conv = CreateObject("Wick.zrDataConvertor")
Check IsObject(conv), "CreateObject Wick.zrDataConvertor"
Set conv = CreateObject("Wick.zrDataConvertor.1")
Check IsObject(conv), "CreateObject Wick.zrDataConvertor.1"
bin = conv.convert(2, "00ab7F")
Check conv.convert(1, bin) = "00AB7F", "hexadecimal round trip in upper case"
text = conv.convert(4, conv.convert(2, "41E9"))
Check Len(text) = 2, "directory string has one character per byte"
Check conv.convert(1, conv.convert(3, text)) = "41E9", "directory string back to bytes"
Check conv.convert(5, conv.convert(2, "2A2863")) = "\2A\28c", "filter element escapes the specials"
Check IsEmpty(conv.convert(1, "")) Or conv.convert(1, "") = "", "empty source gives no result"
Dim refused
conv.convert 2, "AG"
refused = (Err.Number = 5) : Err.Clear
Check refused, "bad hexadecimal is refused (invalid argument)"
conv.convert 7, "00"
refused = (Err.Number = 5) : Err.Clear
Check refused, "unknown direction is refused"

' ---- zrAttribute: default member, For Each, Data.
Dim attr, item, n, data
Set attr = CreateObject("Wick.zrAttribute")
Check IsObject(attr), "CreateObject Wick.zrAttribute"
attr.Name = "cn"
attr.Type = 2
attr.add "x"
Check attr.Count = 1, "add a string"
Check conv.convert(1, attr.Data) = "01EECCAA01000000000000000200000004000000" & _
      "63006E00010000000800000002000000" & "7800", "attribute Data bytes"
attr.add CLng(-5)
Check attr(1) = -5, "default member reads a value"
attr(0) = "y"
Check attr.Value(0) = "y", "default member writes a value"
attr.add 5
refused = (Err.Number = 5) : Err.Clear
Check refused, "a 16-bit integer is not accepted"
Check attr.Count = 2, "nothing appended by a refused add"
n = 0
For Each item In attr
  n = n + 1
Next
Check n = 2, "For Each over the values"
attr.resize 4
Check attr.Count = 4 And IsEmpty(attr(3)), "resize appends empty values"
attr.remove 0
Check attr(0) = -5, "remove moves the rest down"
data = attr.Data
Dim copy
Set copy = CreateObject("Wick.zrAttribute.1")
copy.Data = data
Check copy.Name = "cn" And copy.Count = 3 And copy(0) = -5, "Data into another attribute"
attr.clear
Check attr.Count = 0 And attr.Name = "cn", "clear keeps the name"

' ---- zrEntry: attributes by position and by name.
Dim entry, a, b, other
Set entry = CreateObject("Wick.zrEntry")
Check IsObject(entry), "CreateObject Wick.zrEntry"
Set a = entry.add("cn")
Check entry.Count = 1 And a.Count = 1, "add with the default value count"
Set b = entry.add("member", 3)
Check b.Count = 3, "add with a value count"
Check entry.findAttribute("CN") = 0, "findAttribute ignores ASCII case"
Check entry.findAttribute("nothing") = -1, "findAttribute of a missing name"
Check entry.AttributeName(1) = "member", "AttributeName"
Check entry(1) Is b, "default member gives the attribute itself"
Check entry.AttributeA("MEMBER") Is b, "AttributeA by name"
Check entry.AttributeA("missing") Is Nothing, "AttributeA of a missing name is Nothing"
Set entry(0) = copy
Check entry(0).Name = "cn" And entry(0).Count = 3, "Set by index"
n = 0
For Each item In entry
  n = n + 1
Next
Check n = 2, "For Each over the attributes"
entry.Flags = 7
data = entry.Data
Set other = CreateObject("Wick.zrEntry.1")
other.Data = data
Check other.Count = 2 And other.Flags = 7 And other(0)(0) = -5, "entry Data into another entry"
Check Not (other(0) Is copy), "read back as new attributes"
other.removeA "Cn"
Check other.Count = 1, "removeA by name"

' ---- zrLog: properties, records, and onError into a script object.
Class LogHandler
  Public Calls
  Public LastSystem
  Public LastSource
  Public LastSeverity
  Public LastCode
  Public LastDescription
  Public Sub onError(sys, src, severity, code, description)
    Calls = Calls + 1
    LastSystem = sys
    LastSource = src
    LastSeverity = severity
    LastCode = code
    LastDescription = description
  End Sub
End Class

Dim shell, fso, bridgeKey, log, handler, bridge
Set shell = CreateObject("WScript.Shell")
Set fso = CreateObject("Scripting.FileSystemObject")
' The test bench's event bridge, from the staging folder (the test prefix keeps the keys).
bridgeKey = "HKCR\CLSID\{965F6573-1AAA-46E0-BD0C-DEAAD651CDF7}\"
shell.RegWrite bridgeKey & "InprocServer32\", fso.BuildPath(shell.CurrentDirectory, "event_bridge.dll")
shell.RegWrite bridgeKey & "InprocServer32\ThreadingModel", "Both"
shell.RegWrite "HKCR\CorvTest.EventBridge\CLSID\", "{965F6573-1AAA-46E0-BD0C-DEAAD651CDF7}"
Check True, "register the event bridge"

Set log = CreateObject("zrWICK.zrLog")
Check IsObject(log), "CreateObject zrWICK.zrLog"
Set log = CreateObject("zrWICK.zrLog.1")
Check IsObject(log), "CreateObject zrWICK.zrLog.1"
Check log.FilterSeverity = -1, "FilterSeverity at creation"
Check log.FlagCallOnError, "FlagCallOnError is on at creation"
Check log.EvenSource = "Not set", "EvenSource at creation"
Check log.FileTabulator = vbTab, "FileTabulator at creation"

Set handler = New LogHandler
handler.Calls = 0
Set bridge = CreateObject("CorvTest.EventBridge")
Check IsObject(bridge), "CreateObject CorvTest.EventBridge"
bridge.Connect log, handler
Check Err.Number = 0, "connect the handler to onError"

log.LogError "SYS", "SRC", 1, -2147024891, "a description"
Check handler.Calls = 1, "onError reached the script"
Check handler.LastSystem = "SYS" And handler.LastSource = "SRC", "onError texts"
Check handler.LastSeverity = 1 And handler.LastCode = -2147024891, "onError numbers"
Check handler.LastDescription = "a description", "onError description"

log.FilterSeverity = 1
log.LogError "x", "y", 2, 0, "filtered"
Check handler.Calls = 1, "a filtered record fires nothing"
log.FilterSeverity = -1
log.FlagCallOnError = False
log.LogError "x", "y", 0, 0, "quiet"
Check handler.Calls = 1, "FlagCallOnError off fires nothing"
log.FlagCallOnError = True
Check log.FlagCallOnError = True, "FlagCallOnError reads True after a put"

' The log file, looked at as bytes through the converter.
Dim path, stream
path = fso.BuildPath(fso.GetSpecialFolder(2), "wick_script_" & fso.GetTempName())
log.FileName = path
log.FlagFile = True
log.LogError "S", "R", 9, 0, "100% done"
Check handler.Calls = 2, "file and event together"
Set stream = fso.OpenTextFile(path, 1)
Check stream.ReadAll() = "S" & vbTab & "R" & vbTab & "9" & vbTab & "0" & vbTab & "100% done" & vbCrLf, "log file line"
stream.Close
fso.DeleteFile path

bridge.Disconnect
log.LogError "x", "y", 0, 0, "after"
Check handler.Calls = 2, "nothing after Disconnect"

Set bridge = Nothing

Finish
