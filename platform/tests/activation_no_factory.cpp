int qor_no_factory_here = 1;
