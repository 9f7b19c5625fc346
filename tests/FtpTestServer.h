#pragma once
// A throwaway FTP server for tests.
