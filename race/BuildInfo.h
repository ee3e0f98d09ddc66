#pragma once
// The version (packaging/changelog) and the commit this build was made from.

const char* BuildVersion();
const char* BuildCommit();
