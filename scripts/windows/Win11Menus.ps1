<#
.SYNOPSIS
  Adds or removes the package that puts Quillmere's commands into Windows 11's
  first-level context menu (the Icon Manager on files and folders, the desktop's
  "Quillmere" commands on its background).

.DESCRIPTION
  The package is a signed sparse package: it holds only AppxManifest.xml and its logos,
  and points at the product folder (its external location), where Vexlo64.dll serves the
  commands. Run it as the user whose menus should change; it needs no administrator
  rights once the package's certificate is trusted on the machine.
  On Windows 10 and earlier it changes nothing: the classic menus are the only ones there.

.EXAMPLE
  .\Win11Menus.ps1                      # add, from the product folder this script sits in
  .\Win11Menus.ps1 -Remove              # remove again
  .\Win11Menus.ps1 -Package D:\Quillmere.msix -ProductFolder "C:\Program Files\Quillmere"
#>
param(
    [switch]$Remove,
    [string]$Package = (Join-Path $PSScriptRoot 'Quillmere.msix'),
    [string]$ProductFolder = $PSScriptRoot
)
$ErrorActionPreference = 'Stop'
$name = 'Brindlecote.Quillmere'

if ($Remove) {
    $installed = Get-AppxPackage -Name $name
    if ($installed) {
        $installed | Remove-AppxPackage
        Write-Host "Removed $($installed.PackageFullName)."
    } else {
        Write-Host "$name is not installed for this user."
    }
    exit 0
}

# Windows 11 is build 22000 and later; earlier systems refuse or ignore the package.
if ([Environment]::OSVersion.Version.Build -lt 22000) {
    Write-Host 'Not Windows 11: the classic menus stay, nothing to add.'
    exit 0
}
if (-not (Test-Path (Join-Path $ProductFolder 'Vexlo64.dll'))) {
    throw "Vexlo64.dll is not in $ProductFolder; give the product folder with -ProductFolder."
}
if (-not (Test-Path $Package)) {
    throw "No signed package at $Package (see windows-11-menus.md for how the release makes it)."
}
# A package of the same name is replaced, so an update adds the new one in its place.
Add-AppxPackage -Path $Package -ExternalLocation $ProductFolder -ForceUpdateFromAnyVersion
Write-Host "Added $name with external location $ProductFolder. Explorer shows the commands in new menus."
