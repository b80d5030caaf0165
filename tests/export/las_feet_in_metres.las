#VEXA Logger file export
~VERSION INFORMATION
#------------------------------------------------------------------------------
 VERS. 2.0 : CWLS LOG ASCII STANDARD - VERSION 2.0
 WRAP. NO  : ONE LINE PER DEPTH STEP
~WELL INFORMATION
#MNEM.UNIT         DATA                                DESCRIPTION 
#------------------------------------------------------------------------------
 STRT.M           9.75                             :   START DEPTH
 STOP.M          10.36                             :   STOP DEPTH
 STEP.M           0.10                             :   STEP VALUE
 NULL.        -9999.250                            :   NULL VALUE
 COMP.    Torvanel Drilling                        :   COMPANY NAME
 WELL.    W-1                                      :   WELL NAME
 FLD.     N/A                                      :   FIELD NAME
 LOC.     N/A                                      :   LOCATION
 CTRY.    N/A                                      :   COUNTRY
 CNTY.    N/A                                      :   COUNTY
 STAT.    N/A                                      :   STATE
 SRVC.    N/A                                      :   SERVICE COMPANY NAME
 DATE.    N/A                                      :   DATE
 UWI.     N/A                                      :   UNIQUE WELL IDENTIFIER
 API.     N/A                                      :   API REFERENCE NUMBER
~PARAMETER INFORMATION
#MNEM.UNIT         VALUE                 DESCRIPTION OF MNEMONIC
#------------------------------------------------------------------------------
 MAGN-DEC.            1.50         : Magnetic declination in degree.
~OTHER INFORMATION SECTION
#------------------------------------------------------------------------------
     Notes: The log is recorded in Down Mode.
#------------------------------------------------------------------------------
~CURVE INFORMATION
#MNEM.UNIT         API CODE              CURVE DESCRIPTION
#------------------------------------------------------------------------------
 DEPTH     .M                                 :  Depth        
 SPEED     .M/Min                             :  Logging speed
 INCL      .DEGREE                            :  inclination
 AZ        .DEGREE                            :  azimuth
 HGDELTA   .DEGREE                            :  HG Delta
 ROLL      .DEGREE                            :  Roll
 MROLL	   .DEGREE                            :  Magnetic roll
 TGRAV     .G                                 :  Total gravity
 TMAG      .nT                                :  Total Heading
#------------------------------------------------------------------------------
~A  DEPTH     SPEED      INCL        AZ   HGDELTA      ROLL     MROLL     TGRAV     TMAG
     9.75      0.00     10.00      1.50     45.00      0.00      0.00     0.000         0
     9.85      3.78     10.00      1.50     45.00      0.00      0.00     0.000         0
     9.95      4.35     10.00      1.50     45.00      0.00      0.00     0.000         0
    10.05      4.44     10.00      1.50     45.00      0.00      0.00     0.000         0
    10.15      4.47     10.00      1.50     45.00      0.00      0.00     0.000         0
    10.25      4.50     10.00      1.50     45.00      0.00      0.00     0.000         0
    10.35      4.53     10.00      1.50     45.00      0.00      0.00     0.000         0