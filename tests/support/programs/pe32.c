/* A 32-bit Windows program that does nothing: tests copy it where a 32-bit
   executable is expected (a 32-bit tomcat6.exe). It is only read, never run. */
int main(void) { return 0; }
