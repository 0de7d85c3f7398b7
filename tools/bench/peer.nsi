; The NSIS peer of the benchmark: the same brisel folder, NSIS's default solid LZMA, one directory
; page and the files page, nothing else (no uninstaller, no registry), so that it does no more
; than the Veltrane installer's unpacking. STAGE (the folder holding brisel) and OUTFILE come from
; makensis -D.
Unicode true
SetCompressor /SOLID lzma
Name "Quorvale"
Caption "Quorvale Setup"
OutFile "${OUTFILE}"
InstallDir "C:\QuorvaleNsis"
RequestExecutionLevel admin
ShowInstDetails nevershow

Page directory
Page instfiles

Section
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/brisel"
SectionEnd
