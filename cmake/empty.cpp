// Placeholder source for targets whose code comes from other libraries.
