/* A module that carries nothing but a settings resource. */
int crashreport_sample_module;
