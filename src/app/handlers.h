#pragma once
// The installer's event handlers, bound to the main window's events.

// Ends the installer with the exit code, its log's last line first, running the exit clean-up.
[[noreturn]] void EndInstaller(int exitCode);

// Tells that the installer's file cannot be read, logging the read's error, and ends the
// installer with exit code 1.
[[noreturn]] void EndUnreadable(unsigned long error);

// Shows the Preparing look and waits, the window live, for the check of the payload against the
// build's checksum; a damaged or unreadable payload is told and ends the installer with exit code
// 1, nothing touched. The bar measures the check and the removal after it as one: the step of the
// bar the removal starts from.
[[nodiscard]] int RequireIntactPayload();

// Created event: detects an earlier installation and offers to reinstall.
void StartupCheck();

// Click on 按钮_安装: installs the product into the install root.
void InstallProduct();

// Left button pressed on 标签3: lets the user pick the parent folder of the install root.
void ChooseInstallPath(int x, int y, int keys);

// Click on 按钮_安装完成: opens the installed start program and ends the installer.
void LaunchAndExit();
