' What a script on a Windows host does with the panel: create it by its
' ProgID, decode with a variable key (which the call replaces), run a time
' query against the service named by BORVANE_SERVICE_URL.
Option Explicit

Dim failures
failures = 0

Sub Check(ok, what)
  If ok Then
    WScript.Echo "ok: " & what
  Else
    WScript.Echo "FAILED: " & what
    failures = failures + 1
  End If
End Sub

Dim panel, text, key, result
Set panel = CreateObject("borvane.client")
Check TypeName(panel) = "_client" Or TypeName(panel) = "client", "CreateObject gives the panel, described by its type information, got " & TypeName(panel)

' 2005-04-27 12:34:56.789 as the service encodes it for the key 53190427.
text = "40763,6-98&-4::5@18.>9?"
key = 53190427
result = panel.DeCrypt(text, key)
Check result = "2005-04-27 12:34:56.789", "DeCrypt decodes the service time, got " & result
Check key = 6, "DeCrypt replaces the caller's key with the shift, got " & key
Check text = "40763,6-98&-4::5@18.>9?", "DeCrypt leaves the text as it was"

' The same variable again: now the shift comes from the text "6".
result = panel.DeCrypt(text, key)
Check key = 0, "the second call derives its shift from the first one's, got " & key
Check result = "8*6/3*:'81&+849.@/<(=2?", "the second call decodes with shift 0, got " & result

On Error Resume Next
result = panel.DisplayTime()
Check Err.Number = 0, "DisplayTime starts a query against the service (error " & Err.Number & " " & Err.Description & ")"
Err.Clear
On Error GoTo 0
Check TypeName(result) = "String" And result = "", "DisplayTime returns the empty text"

' Only the two public methods are offered to scripts.
On Error Resume Next
panel.Command2_Click
Check Err.Number = 438, "members beyond DisplayTime and DeCrypt are refused (error " & Err.Number & ")"
Err.Clear
On Error GoTo 0

Set panel = Nothing
' The step that runs this script requires this line: the script host exits
' 0 even when a run-time error stops the script part way.
WScript.Echo "all checks ran"
WScript.Quit failures
