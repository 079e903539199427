// The user's own part of the setup: what registration does for the user who installs, and the toolbar's
// start does for every user (an installer without elevation is refused at the machine's keys before it gets
// there, and never runs for the machine's other users). Each step is done once and leaves a mark.
#pragma once

// The per-user request (HKCU "Software\Quillbury", value "setdefaultsearchprovider", exactly "true") to make
// our provider the default: removed, then acted on. Throws windows_error on registry failures.
void ApplySearchProviderRequest();

// The request above, then the settings upgrade (settings/AccountStore.h) under the account lock, waiting
// as long as `lockWait`.
void RunUserSetup(unsigned long lockWait);
