int __stdcall DllMain(void* h, unsigned long r, void* p) { (void)h; (void)r; (void)p; return 1; }
