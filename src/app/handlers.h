#pragma once
// The installer's event handlers, bound to the main window's events.

// Ends the installer with the exit code, its log's last line first, running the exit clean-up.
[[noreturn]] void EndInstaller(int exitCode);

// Waits, the window live and its bar (when shown) moving, for the check of the payload against
// the build's checksum; a damaged payload is told and ends the installer with exit code 1, nothing
// touched.
void RequireIntactPayload();

// Created event: detects an earlier installation and offers to reinstall.
void StartupCheck();

// Click on 按钮_安装: installs the product into the install root.
void InstallProduct();

// Left button pressed on 标签3: lets the user pick the parent folder of the install root.
void ChooseInstallPath(int x, int y, int keys);

// Click on 按钮_安装完成: opens the installed start program and ends the installer.
void LaunchAndExit();
